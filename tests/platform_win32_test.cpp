// The Windows backend of the platform services: code pages, files, the process, the x87.
#include "platform_win32.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "code_page.h"
#include "fields.h"

namespace ordplan {
namespace {

namespace fs = std::filesystem;

std::string Bytes(std::initializer_list<unsigned char> bytes) {
  return std::string(bytes.begin(), bytes.end());
}

struct DecodeCase {
  unsigned int codePage;
  std::string bytes;
  bool complete;  // the bytes form one character of one UTF-16 unit
  char16_t unit;
};

TEST(WindowsCodePage, DecodesOneCharacterOfOneUnit) {
  const DecodeCase cases[] = {
      {1250, "A", true, u'A'},
      {1250, "\xED", true, u'\u00ED'},
      {1250, "\xE8", true, u'\u010D'},
      {1252, "\xE8", true, u'\u00E8'},
      {1252, "\x80", true, u'\u20AC'},
      {1250, "AB", false, 0},  // two characters
      {932, "A", true, u'A'},
      {932, "\xB1", true, u'\uFF71'},         // a single-byte katakana
      {932, "\x82", false, 0},                // a lead byte alone is incomplete
      {932, "\x82\xA0", true, u'\u3042'},     // lead and trail byte: one character
      {932, "\x82 ", false, 0},               // a blank completes no character
      {932, "\x82 12 3\r\n", false, 0},       // nor do the 7 bytes after it
      {65001, "\xC3\xAD", true, u'\u00ED'},   // UTF-8
      {65001, "\xC3", false, 0},              // incomplete
      {65001, "\xF0\x9F\x98\x80", false, 0},  // one character of two UTF-16 units
  };
  for (const DecodeCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.codePage << " " << testing::PrintToString(c.bytes));
    const std::unique_ptr<CodePage> codePage = OpenWindowsCodePage(c.codePage);
    char16_t unit = 0;
    const auto* data = reinterpret_cast<const unsigned char*>(c.bytes.data());
    ASSERT_EQ(codePage->DecodeCharacter(std::span(data, c.bytes.size()), unit), c.complete);
    if (c.complete) {
      EXPECT_EQ(unit, c.unit);
    }
  }
}

// The system's 1250 agrees with the table that stands in for it on other systems, byte for
// byte both ways.
TEST(WindowsCodePage, System1250MatchesTheTable) {
  const std::unique_ptr<CodePage> system = OpenWindowsCodePage(1250);
  for (int byte = 0; byte < 256; ++byte) {
    const unsigned char b = static_cast<unsigned char>(byte);
    char16_t unit = 0, tableUnit = 0;
    ASSERT_TRUE(system->DecodeCharacter(std::span(&b, 1), unit)) << byte;
    ASSERT_TRUE(Windows1250().DecodeCharacter(std::span(&b, 1), tableUnit)) << byte;
    EXPECT_EQ(unit, tableUnit) << byte;
    std::string back;
    system->Encode(std::u16string_view(&unit, 1), back);
    EXPECT_EQ(back, std::string(1, static_cast<char>(b))) << byte;
  }
}

struct EncodeCase {
  unsigned int codePage;
  std::u16string text;
  std::string bytes;
};

TEST(WindowsCodePage, EncodesWithTheSystemsReplacements) {
  const EncodeCase cases[] = {
      {1250, u"Dokoncen\u00ED", "Dokoncen\xED"},
      {1252, u"Dokoncen\u00ED", "Dokoncen\xED"},
      {932, u"Dokoncen\u00ED", "Dokonceni"},  // 932 has no í: its best fit is i
      {1250, u"\u010D\u0159", "\xE8\xF8"},
      {1252, u"\u010D", "c"},  // best fit
      {1250, u"\u4E00", "?"},  // the default character
      {932, u"\u3042A", Bytes({0x82, 0xA0, 'A'})},
      {65001, u"\u00ED", "\xC3\xAD"},
      {1250, u"", ""},
  };
  for (const EncodeCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.codePage << " " << testing::PrintToString(c.bytes));
    std::string out = "kept";
    OpenWindowsCodePage(c.codePage)->Encode(c.text, out);
    EXPECT_EQ(out, "kept" + c.bytes);
  }
}

// A fresh directory for the file tests, removed afterwards.
class FileTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("ordplan-test-" + std::to_string(::GetCurrentProcessId()) + "-" +
            testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    files_ = OpenSystemServices().Files;
  }
  void TearDown() override {
    for (const auto& entry : fs::recursive_directory_iterator(dir_)) {
      ::SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    fs::remove_all(dir_);
  }

  std::u16string Name(const char* name) const {
    const std::wstring path = (dir_ / name).wstring();
    return std::u16string(path.begin(), path.end());
  }
  fs::path Path(const char* name) const { return dir_ / name; }

  void Write(const char* name, const std::string& content) const {
    std::ofstream(Path(name), std::ios::binary) << content;
  }
  std::string Read(const char* name) const {
    std::ifstream in(Path(name), std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
  }

  // Another handle on the file, as another program would open it.
  HANDLE Open(const char* name, DWORD access, DWORD sharing) const {
    return ::CreateFileW(Path(name).c_str(), access, sharing, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  }

  fs::path dir_;
  std::unique_ptr<FileSystem> files_;
};

TEST_F(FileTest, CreateEmptiesAndWritesAndReadBack) {
  Write("ordplan.prn", std::string(1000, 'o'));
  std::unique_ptr<OsFile> report;
  ASSERT_EQ(files_->CreateForWriting(Name("ordplan.prn"), report), 0);
  ASSERT_TRUE(report);
  EXPECT_EQ(Read("ordplan.prn"), "");
  const std::string text = "Zadany vektor[3]:ABC\r\n" + std::string(300, 'x');
  EXPECT_EQ(report->Write(text.data(), text.size()), 0);
  EXPECT_EQ(report->Close(), 0);
  EXPECT_EQ(Read("ordplan.prn"), text);
  EXPECT_EQ(::GetFileAttributesW(Path("ordplan.prn").c_str()) & FILE_ATTRIBUTE_READONLY, 0u);

  std::unique_ptr<OsFile> input;
  ASSERT_EQ(files_->OpenForReading(Name("ordplan.prn"), input), 0);
  std::string back(400, '\0');
  std::size_t got = 0;
  ASSERT_EQ(input->Read(back.data(), back.size(), got), 0);
  EXPECT_EQ(back.substr(0, got), text);
  ASSERT_EQ(input->Read(back.data(), back.size(), got), 0);
  EXPECT_EQ(got, 0u);  // the end of the file
  EXPECT_EQ(input->Close(), 0);
}

// While ordplan has a file open, others may read it but not write it.
TEST_F(FileTest, OpenFilesShareOnlyReading) {
  Write("ordplan.txt", "3\r\n");
  std::unique_ptr<OsFile> report, input;
  ASSERT_EQ(files_->CreateForWriting(Name("ordplan.prn"), report), 0);
  ASSERT_EQ(files_->OpenForReading(Name("ordplan.txt"), input), 0);
  for (const char* name : {"ordplan.prn", "ordplan.txt"}) {
    SCOPED_TRACE(name);
    const HANDLE reader = Open(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
    EXPECT_NE(reader, INVALID_HANDLE_VALUE);
    ::CloseHandle(reader);
    EXPECT_EQ(Open(name, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE), INVALID_HANDLE_VALUE);
    EXPECT_EQ(::GetLastError(), DWORD{ERROR_SHARING_VIOLATION});
  }
  EXPECT_EQ(report->Close(), 0);
  EXPECT_EQ(input->Close(), 0);
}

struct OpenFailureCase {
  const char* name;
  bool forWriting;
  const char* file;  // ordplan.prn or ordplan.txt, or a path through a missing directory
  enum { Absent, ReadOnly, Directory, HeldForWriting } state;
  int error;
};

// Failed opens give GetLastError's number and leave an existing file as it was.
TEST_F(FileTest, FailedOpensKeepTheSystemsErrorNumbers) {
  const OpenFailureCase cases[] = {
      {"missing input", false, "ordplan.txt", OpenFailureCase::Absent, 2},
      {"input is a directory", false, "ordplan.txt", OpenFailureCase::Directory, 5},
      {"input held for writing", false, "ordplan.txt", OpenFailureCase::HeldForWriting, 32},
      {"report read-only", true, "ordplan.prn", OpenFailureCase::ReadOnly, 5},
      {"report is a directory", true, "ordplan.prn", OpenFailureCase::Directory, 5},
      {"report held for writing", true, "ordplan.prn", OpenFailureCase::HeldForWriting, 32},
      {"report in a missing directory", true, "missing/ordplan.prn", OpenFailureCase::Absent,
       ERROR_PATH_NOT_FOUND},
  };
  for (const OpenFailureCase& c : cases) {
    SCOPED_TRACE(c.name);
    HANDLE held = INVALID_HANDLE_VALUE;
    switch (c.state) {
      case OpenFailureCase::Absent:
        break;
      case OpenFailureCase::Directory:
        fs::create_directory(Path(c.file));
        break;
      case OpenFailureCase::ReadOnly:
      case OpenFailureCase::HeldForWriting:
        Write(c.file, "an earlier file\r\n");
        if (c.state == OpenFailureCase::ReadOnly) {
          ASSERT_TRUE(::SetFileAttributesW(Path(c.file).c_str(), FILE_ATTRIBUTE_READONLY));
        }
        if (c.state == OpenFailureCase::HeldForWriting) {
          held = Open(c.file, GENERIC_WRITE, FILE_SHARE_READ);
          ASSERT_NE(held, INVALID_HANDLE_VALUE);
        }
        break;
    }
    std::unique_ptr<OsFile> file;
    const int error = c.forWriting ? files_->CreateForWriting(Name(c.file), file)
                                   : files_->OpenForReading(Name(c.file), file);
    if (held != INVALID_HANDLE_VALUE) ::CloseHandle(held);
    EXPECT_EQ(error, c.error);
    EXPECT_FALSE(file);
    if (c.state == OpenFailureCase::Directory) {
      EXPECT_TRUE(fs::is_directory(Path(c.file)));
    } else if (c.state != OpenFailureCase::Absent) {
      EXPECT_EQ(Read(c.file), "an earlier file\r\n");
    }
    ::SetFileAttributesW(Path(c.file).c_str(), FILE_ATTRIBUTE_NORMAL);
    std::error_code ignored;
    fs::remove_all(Path(c.file), ignored);
  }
}

// The name of the running executable, and the image it runs from.
TEST(WindowsProcess, NameAndImage) {
  const SystemServices system = OpenSystemServices();
  EXPECT_EQ(system.Host->ExecutableName(), "ordplan_tests.exe");
  const std::uintptr_t base = system.Host->ImageBase();
  const auto* header = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  ASSERT_EQ(header->e_magic, IMAGE_DOS_SIGNATURE);
  const auto* image = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + header->e_lfanew);
  const auto code = reinterpret_cast<std::uintptr_t>(&OpenSystemServices);
  EXPECT_GT(code, base);
  EXPECT_LT(code, base + image->OptionalHeader.SizeOfImage);
}

unsigned short ControlWord() {
  unsigned short word;
  asm volatile("fnstcw %0" : "=m"(word));
  return word;
}
void SetControlWord(unsigned short word) { asm volatile("fldcw %0" : : "m"(word)); }

std::string Fixed(double value) {
  char text[MaxFieldText];
  return std::string(text, FormatFixedStepByStep(value, 10, 3, text));
}

// A thread or a library may leave the x87 at a 53-bit significand (control word 0x027F);
// the services set the full 64 bits that the quotients and the fixed-point steps need.
TEST(WindowsServices, SetTheX87ToA64BitSignificand) {
  const unsigned short saved = ControlWord();
  volatile long double one = 1, three = 3;
  SetControlWord(0x027F);
  const bool rounded53 = static_cast<double>(one / three) == one / three;
  const std::string digits53 = Fixed(1.0005);
  OpenSystemServices();
  const unsigned short word = ControlWord();
  const bool rounded64 = static_cast<double>(one / three) == one / three;
  const std::string digits64 = Fixed(1.0005);
  SetControlWord(saved);

  EXPECT_EQ(word, ExtendedPrecisionControlWord);
  EXPECT_TRUE(rounded53);  // the test's premise: 53 bits lose the quotient's last bits
  EXPECT_EQ(digits53, "     1.001");
  EXPECT_FALSE(rounded64);
  EXPECT_EQ(digits64, "     1.000");  // 1.0005 is stored about 1.07e-17 below it
}

}  // namespace
}  // namespace ordplan
