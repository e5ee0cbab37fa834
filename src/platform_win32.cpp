// The Windows backend of the platform services: every service is a Win32 call.
//
// The report is opened with CreateFileW sharing only reading, so while one run writes it no
// other program can open it for writing (a second run fails with the sharing violation, 32).
// Error numbers are GetLastError's: 2, 4 and 5 are the ones ordplan's messages name.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include "platform_win32.h"

#include <windows.h>

#include <algorithm>
#include <string>

#include "platform.h"

namespace ordplan {

namespace {

int LastError() { return static_cast<int>(::GetLastError()); }

// The name as Win32 wants it: UTF-16 (wchar_t is 16 bits on Windows), null-terminated.
std::wstring WideName(std::u16string_view name) { return std::wstring(name.begin(), name.end()); }

class WindowsFile final : public OsFile {
 public:
  explicit WindowsFile(HANDLE handle) : handle_(handle) {}
  ~WindowsFile() override {
    if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
  }

  int Read(void* buffer, std::size_t size, std::size_t& got) override {
    got = 0;
    DWORD read = 0;
    const DWORD request = static_cast<DWORD>(std::min<std::size_t>(size, MAXDWORD));
    if (!::ReadFile(handle_, buffer, request, &read, nullptr)) return LastError();
    got = read;
    return 0;
  }

  int Write(const void* data, std::size_t size) override {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
      DWORD written = 0;
      const DWORD request = static_cast<DWORD>(std::min<std::size_t>(size, MAXDWORD));
      if (!::WriteFile(handle_, bytes, request, &written, nullptr)) return LastError();
      // A call that succeeds without storing anything would never end the loop.
      if (written == 0) return ERROR_WRITE_FAULT;
      bytes += written;
      size -= written;
    }
    return 0;
  }

  int Close() override {
    const HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return ::CloseHandle(handle) ? 0 : LastError();
  }

 private:
  HANDLE handle_;
};

class WindowsFileSystem final : public FileSystem {
 public:
  int CreateForWriting(std::u16string_view name, std::unique_ptr<OsFile>& file) override {
    // CREATE_ALWAYS empties an existing file only once the open has succeeded: a read-only
    // file or a directory fails with access denied, a file that another program holds
    // without sharing writing with the sharing violation, and either is left as it was.
    // The read-only attribute is also checked first: Wine shows a file without write
    // permission bits as read-only, yet run by root it would open and empty it.
    const std::wstring path = WideName(name);
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
      return ERROR_ACCESS_DENIED;
    }
    const HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return LastError();
    file = std::make_unique<WindowsFile>(handle);
    return 0;
  }

  int OpenForReading(std::u16string_view name, std::unique_ptr<OsFile>& file) override {
    // A directory fails with access denied, as it is opened without backup semantics.
    const HANDLE handle = ::CreateFileW(WideName(name).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return LastError();
    file = std::make_unique<WindowsFile>(handle);
    return 0;
  }
};

class WindowsCodePage final : public CodePage {
 public:
  explicit WindowsCodePage(UINT codePage) : codePage_(codePage) {}

  bool DecodeCharacter(std::span<const unsigned char> bytes, char16_t& unit) const override {
    // Room for two units, so that bytes forming more than one unit are told apart.
    wchar_t units[2];
    const int count = ::MultiByteToWideChar(codePage_, MB_ERR_INVALID_CHARS,
                                            reinterpret_cast<const char*>(bytes.data()),
                                            static_cast<int>(bytes.size()), units, 2);
    if (count != 1) return false;
    unit = static_cast<char16_t>(units[0]);
    return true;
  }

  void Encode(std::u16string_view text, std::string& out) const override {
    if (text.empty()) return;
    const wchar_t* units = reinterpret_cast<const wchar_t*>(text.data());
    const int length = static_cast<int>(text.size());
    // No flags: a missing character becomes the code page's best fit where it defines one,
    // otherwise its default character.
    const int size =
        ::WideCharToMultiByte(codePage_, 0, units, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return;
    const std::size_t start = out.size();
    out.resize(start + static_cast<std::size_t>(size));
    const int written = ::WideCharToMultiByte(codePage_, 0, units, length, out.data() + start, size,
                                              nullptr, nullptr);
    out.resize(start + static_cast<std::size_t>(std::max(written, 0)));
  }

 private:
  UINT codePage_;
};

class WindowsProcess final : public Process {
 public:
  explicit WindowsProcess(UINT ansiCodePage) : ansiCodePage_(ansiCodePage) {}

  std::string ExecutableName() const override {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
      const DWORD length =
          ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
      if (length == 0) return "ordplan.exe";
      if (length < path.size()) {
        path.resize(length);
        break;
      }
      path.resize(path.size() * 2);  // cut off: try again with more room
    }
    const std::size_t slash = path.find_last_of(L"\\/");
    const std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    // The console's output code page; standard error redirected to a file or a pipe has no
    // console, and then the name goes out in the ANSI code page.
    UINT codePage = ::GetConsoleOutputCP();
    if (codePage == 0) codePage = ansiCodePage_;
    std::string bytes;
    WindowsCodePage(codePage).Encode(
        std::u16string_view(reinterpret_cast<const char16_t*>(name.data()), name.size()), bytes);
    return bytes;
  }

  std::uintptr_t ImageBase() const override {
    return reinterpret_cast<std::uintptr_t>(::GetModuleHandleW(nullptr));
  }

  void WriteStandardError(std::string_view bytes) const override {
    const HANDLE handle = ::GetStdHandle(STD_ERROR_HANDLE);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
    while (!bytes.empty()) {
      DWORD written = 0;
      const DWORD request = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), MAXDWORD));
      if (!::WriteFile(handle, bytes.data(), request, &written, nullptr) || written == 0) return;
      bytes.remove_prefix(written);
    }
  }

 private:
  UINT ansiCodePage_;
};

// The quotients, the square root and the fixed-point steps are computed in the x87's 80-bit
// format and need its full 64-bit significand. The C runtime's start-up code sets that, but a
// thread or a library may have left 53 bits; the word is set here for the whole run.
void SetExtendedPrecision() {
  const unsigned short word = ExtendedPrecisionControlWord;
  asm volatile("fldcw %0" : : "m"(word));
}

}  // namespace

std::unique_ptr<CodePage> OpenWindowsCodePage(unsigned int codePage) {
  return std::make_unique<WindowsCodePage>(codePage);
}

SystemServices OpenSystemServices() {
  SetExtendedPrecision();
  const UINT ansiCodePage = ::GetACP();  // taken once, for the whole run
  return SystemServices{std::make_unique<WindowsFileSystem>(), OpenWindowsCodePage(ansiCodePage),
                        std::make_unique<WindowsProcess>(ansiCodePage)};
}

}  // namespace ordplan
