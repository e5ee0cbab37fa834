// A Windows program that the Windows whole-run tests start beside ordplan.exe, as another
// program acting on its files would:
//   win32_helper hold NAME       opens NAME for writing, sharing only reading, writes "held"
//                                and a line end to standard output, and keeps the file open
//                                until its standard input ends
//   win32_helper read-only NAME  gives NAME the read-only attribute
// Exit code 0 on success; otherwise 1, with "error N" (GetLastError's number) on standard
// output.
#include <windows.h>

#include <string>
#include <string_view>

namespace {

void Say(std::string_view text) {
  DWORD written = 0;
  ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()),
              &written, nullptr);
}

int Fail() {
  Say("error " + std::to_string(::GetLastError()) + "\n");
  return 1;
}

std::wstring Wide(const char* name) {
  std::wstring wide(
      static_cast<std::size_t>(::MultiByteToWideChar(CP_ACP, 0, name, -1, nullptr, 0)), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, name, -1, wide.data(), static_cast<int>(wide.size()));
  wide.pop_back();  // the terminating null
  return wide;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  const std::string_view command = argv[1];
  const std::wstring name = Wide(argv[2]);
  if (command == "hold") {
    const HANDLE file = ::CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return Fail();
    Say("held\n");
    char buffer[64];
    DWORD got = 0;
    while (::ReadFile(::GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &got, nullptr) &&
           got > 0) {
    }
    ::CloseHandle(file);
    return 0;
  }
  if (command == "read-only") {
    return ::SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_READONLY) ? 0 : Fail();
  }
  return 2;
}
