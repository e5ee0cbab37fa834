// Whole runs of the Windows executable under Wine, for what the Windows build does beyond the
// runs of run_test.cpp: the system's ANSI code page, share modes, the read-only attribute and
// Windows's error numbers.
//
// Usage: ordplan_run_win32_tests EXECUTABLE HELPER [WRAPPER...]; HELPER is win32_helper.exe
// (win32_helper.cpp), and the wrapper, such as wine, is put in front of both. Wine takes the
// ANSI code page from LC_ALL, which each run sets: cs_CZ.UTF-8 gives 1250, C.UTF-8 1252 and
// ja_JP.UTF-8 932; the first and the last need their locales generated (localedef).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "whole_run.h"

namespace {

namespace fs = std::filesystem;
using whole_run::FailureMessage;
using whole_run::Outcome;
using whole_run::ReadFile;
using whole_run::Runs;
using whole_run::Wait;
using whole_run::WriteFile;

std::vector<std::string> Wrapper;
fs::path Executable;
fs::path Helper;

// The standard-error message of a failure in ordplan.exe, the location masked.
std::string FailureMessage(const std::string& kind, const std::string& message) {
  return FailureMessage("ordplan.exe", kind, message);
}

// The words that run `program` with `arguments` under the wrapper.
std::vector<std::string> Command(const fs::path& program,
                                 const std::vector<std::string>& arguments) {
  std::vector<std::string> words = Wrapper;
  words.push_back(program.string());
  words.insert(words.end(), arguments.begin(), arguments.end());
  return words;
}

// What sets LC_ALL=`locale` in a started program's environment.
std::function<void()> SetLocale(const std::string& locale) {
  return [locale] { ::setenv("LC_ALL", locale.c_str(), 1); };
}

// Starts `program` with `arguments` under the wrapper in `dir`, with LC_ALL=`locale` and the
// given descriptors as its standard input, output and error.
pid_t Start(const fs::path& program, const std::vector<std::string>& arguments, const fs::path& dir,
            const std::string& locale, int input, int output, int error) {
  return whole_run::Start(Command(program, arguments), dir, {input, output, error},
                          SetLocale(locale));
}

// A fresh directory in which to run the program.
class RunDirectory : public whole_run::RunDirectory {
 public:
  RunDirectory() : whole_run::RunDirectory("ordplan-win32-") {}
  ~RunDirectory() {
    std::error_code ignored;
    for (const auto& entry : fs::recursive_directory_iterator(Path(), ignored)) {
      // A link (such as one to /dev/full) is removed, never followed.
      if (entry.is_symlink(ignored)) continue;
      fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
  }

  // Runs `program` (ordplan.exe unless another is given) here, under `locale`.
  Outcome Run(const std::string& locale, const fs::path& program = Executable) const {
    const int input = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    const Outcome outcome = RunCommand(Command(program, {}), input, SetLocale(locale));
    ::close(input);
    return outcome;
  }

  // Runs the helper here with `command` on `name`; its exit code.
  int Help(const std::string& command, const std::string& name) const {
    const int devNull = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    const int exitCode =
        Wait(Start(Helper, {command, name}, Path(), "C.UTF-8", devNull, devNull, devNull));
    ::close(devNull);
    return exitCode;
  }
};

// The helper holding a file of a run directory open for writing, as another program that
// writes it would, until this object is destroyed.
class HeldFile {
 public:
  HeldFile(const RunDirectory& dir, const char* name) {
    int toHelper[2], fromHelper[2];
    if (::pipe2(toHelper, O_CLOEXEC) != 0 || ::pipe2(fromHelper, O_CLOEXEC) != 0) return;
    const int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    helper_ =
        Start(Helper, {"hold", name}, dir.Path(), "C.UTF-8", toHelper[0], fromHelper[1], devNull);
    ::close(devNull);
    ::close(toHelper[0]);
    ::close(fromHelper[1]);
    input_ = toHelper[1];
    // The helper answers once it holds the file (or has failed to open it).
    char c;
    while (::read(fromHelper[0], &c, 1) == 1 && c != '\n') reply_ += c;
    ::close(fromHelper[0]);
  }
  ~HeldFile() {
    if (input_ >= 0) ::close(input_);  // the end of its input lets the helper go
    if (helper_ > 0) Wait(helper_);
  }
  const std::string& Reply() const { return reply_; }

 private:
  pid_t helper_ = -1;
  int input_ = -1;
  std::string reply_;
};

// The report of one job with processing time 5 and due date 2, the label and the header's
// í given as the bytes the code page writes for them.
std::string OneJobReport(const std::string& label, const std::string& iAcute) {
  const std::string header =
      "Uloha  \tCelk. cas  Termin    CR   Dokoncen" + iAcute + "  Zpozdeni   Kv.zpoz.\r\n";
  const std::string block = header + "  " + label +
                            "         5         2     0.400         5         3         9\r\n"
                            "celkove zpozdeni:   3.000  kva. odchylka:   3.000\r\n";
  return "Zadany vektor[1]:" + label + "\r\n" + block + "P[1]:" + label + "\r\n" + block +
         " Min. zpozdeni:   3.000 pro 1.permutaci\r\n"
         " Min. kv.zpozdeni:   3.000 pro 1.permutaci\r\n";
}

struct CodePageCase {
  const char* name;
  const char* locale;
  std::string input;
  int exitCode;
  std::string standardError;
  std::string report;
};

// The report's í is 0xED under 1250 and 1252, and single-byte labels come back as the bytes
// they were read from; under 932 a lead byte and its trail byte are one label, and a lead
// byte that no byte completes is malformed input.
TEST(WindowsRun, AnsiCodePages) {
  const std::string wideFields = ReadFile(Runs() / "wide_fields.txt");  // labels 0xE8 and 0xED
  const std::string wideFieldsReport = ReadFile(Runs() / "wide_fields.prn");
  const CodePageCase cases[] = {
      {"1250", "cs_CZ.UTF-8", wideFields, 0, "", wideFieldsReport},
      {"1252", "C.UTF-8", wideFields, 0, "", wideFieldsReport},
      {"932, two-byte label", "ja_JP.UTF-8", "1\r\n\x82\xA0 5 2\r\n", 0, "",
       OneJobReport("\x82\xA0", "i")},  // 932 has no í: its best fit is i
      {"932, lead byte and a blank", "ja_JP.UTF-8", "1\r\n\x82 5 2\r\n", 1,
       FailureMessage("EInOutError", "Invalid numeric input"), ""},
      {"932, lead byte at the end", "ja_JP.UTF-8", "1\r\n\x82", 1,
       FailureMessage("EInOutError", "Invalid numeric input"), ""},
      {"1250, the same bytes", "cs_CZ.UTF-8", "1\r\n\x82 5 2\r\n", 0, "",
       OneJobReport("\x82", "\xED")},
  };
  ASSERT_NE(wideFieldsReport.find("Dokoncen\xED "), std::string::npos);
  ASSERT_EQ(OneJobReport("A", "\xED"), ReadFile(Runs() / "one_job.prn"));  // "1", "A 5 2"
  for (const CodePageCase& c : cases) {
    SCOPED_TRACE(c.name);
    RunDirectory dir;
    WriteFile(dir / "ordplan.txt", c.input);
    const Outcome outcome = dir.Run(c.locale);
    EXPECT_EQ(outcome.exitCode, c.exitCode);
    EXPECT_EQ(outcome.standardOutput, "");
    EXPECT_EQ(outcome.standardError, c.standardError);
    EXPECT_EQ(dir.Report(), c.report);
  }
}

struct ModuleCase {
  const char* locale;
  const char* fileName;  // in UTF-8
  std::string shown;     // the bytes of the failure message
};

// The failure message names the executable in the ANSI code page when standard error is a
// file, as it has no console then.
TEST(WindowsRun, ModuleNameInTheCodePage) {
  const ModuleCase cases[] = {
      {"cs_CZ.UTF-8", "pl\u00E1n-\u010D.exe", "pl\xE1n-\xE8.exe"},
      {"C.UTF-8", "pl\u00E1n-\u010D.exe", "pl\xE1n-c.exe"},  // 1252 has no č: best fit c
      {"ja_JP.UTF-8", "\u8A08\u753B.exe", "\x8C\x76\x89\xE6.exe"},
  };
  for (const ModuleCase& c : cases) {
    SCOPED_TRACE(c.locale);
    RunDirectory programs, dir;
    const fs::path copy = programs / c.fileName;
    fs::copy_file(Executable, copy);
    const Outcome outcome = dir.Run(c.locale, copy);
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_EQ(outcome.standardError, FailureMessage(c.shown, "EInOutError", "File not found"));
  }
}

// While another program holds a file open for writing, a run fails with the sharing
// violation; the report is left as the other program has it, or is emptied first when only
// the input is held.
TEST(WindowsRun, FileHeldByAnotherProgram) {
  struct Case {
    const char* held;
    std::string report;
  };
  for (const Case& c :
       {Case{"ordplan.prn", "the other program's report\r\n"}, Case{"ordplan.txt", ""}}) {
    SCOPED_TRACE(c.held);
    RunDirectory dir;
    const std::string input = ReadFile(Runs() / "three_jobs.txt");
    WriteFile(dir / "ordplan.txt", input);
    WriteFile(dir / "ordplan.prn", "the other program's report\r\n");
    Outcome outcome;
    {
      const HeldFile held(dir, c.held);
      ASSERT_EQ(held.Reply(), "held");
      outcome = dir.Run("cs_CZ.UTF-8");
    }
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_EQ(outcome.standardOutput, "");
    EXPECT_EQ(outcome.standardError, FailureMessage("EInOutError", "I/O error 32"));
    EXPECT_EQ(dir.Report(), c.report);
    EXPECT_EQ(ReadFile(dir / "ordplan.txt"), input);
  }
}

// A report with the read-only attribute, given by a Windows program, is not created over.
TEST(WindowsRun, ReadOnlyAttribute) {
  RunDirectory dir;
  WriteFile(dir / "ordplan.txt", ReadFile(Runs() / "three_jobs.txt"));
  WriteFile(dir / "ordplan.prn", "an earlier report\r\n");
  ASSERT_EQ(dir.Help("read-only", "ordplan.prn"), 0);
  const Outcome outcome = dir.Run("cs_CZ.UTF-8");
  EXPECT_EQ(outcome.exitCode, 1);
  EXPECT_EQ(outcome.standardOutput, "");
  EXPECT_EQ(outcome.standardError, FailureMessage("EInOutError", "File access denied"));
  EXPECT_EQ(dir.Report(), "an earlier report\r\n");
}

// A full disk is Windows's error 112; the report's file is Linux's always-full device.
TEST(WindowsRun, FullDisk) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  RunDirectory dir;
  WriteFile(dir / "ordplan.txt", ReadFile(Runs() / "three_jobs.txt"));
  fs::create_symlink("/dev/full", dir / "ordplan.prn");
  const Outcome outcome = dir.Run("cs_CZ.UTF-8");
  EXPECT_EQ(outcome.exitCode, 1);
  EXPECT_EQ(outcome.standardOutput, "");
  EXPECT_EQ(outcome.standardError, FailureMessage("EInOutError", "I/O error 112"));
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s EXECUTABLE HELPER [WRAPPER...]\n", argv[0]);
    return 2;
  }
  Executable = fs::absolute(argv[1]);
  Helper = fs::absolute(argv[2]);
  for (int i = 3; i < argc; ++i) Wrapper.push_back(argv[i]);
  return RUN_ALL_TESTS();
}
