// Whole runs of the built executable, each in a fresh temporary directory.
//
// Usage: ordplan_run_tests EXECUTABLE [WRAPPER...]; a wrapper such as wine is put in front of
// the executable. Reports are compared byte for byte with the files in tests/runs.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "whole_run.h"

namespace {

namespace fs = std::filesystem;
using whole_run::Outcome;
using whole_run::ReadFile;
using whole_run::Runs;
using whole_run::WriteFile;

std::vector<std::string> Command;  // the wrapper, then the executable

std::string ModuleName() { return fs::path(Command.back()).filename().string(); }

// The standard-error message of a failure of `kind` with `message`, the location masked.
std::string FailureMessage(const std::string& kind, const std::string& message) {
  return whole_run::FailureMessage(ModuleName(), kind, message);
}

// A fresh directory in which to run the program once.
class RunDirectory : public whole_run::RunDirectory {
 public:
  RunDirectory() : whole_run::RunDirectory("ordplan-run-") {}

  // Runs the program here; `fileSizeLimit` limits the size of the files it writes.
  Outcome Run(std::optional<rlim_t> fileSizeLimit = std::nullopt) const {
    return RunCommand(Command, -1, [fileSizeLimit] {
      if (fileSizeLimit) {
        const rlimit limit{*fileSizeLimit, *fileSizeLimit};
        ::setrlimit(RLIMIT_FSIZE, &limit);
      }
    });
  }
};

// Inputs whose reports are kept in tests/runs as NAME.txt and NAME.prn.
TEST(WholeRun, GoldenReports) {
  for (const char* name : {"three_jobs", "one_job", "two_equal_labels", "negative_count",
                           "never_beats_initial_best", "equal_orders", "wide_fields"}) {
    SCOPED_TRACE(name);
    RunDirectory dir;
    fs::copy_file(Runs() / (std::string(name) + ".txt"), dir / "ordplan.txt");
    const Outcome outcome = dir.Run();
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.standardOutput, "");
    EXPECT_EQ(outcome.standardError, "");
    EXPECT_EQ(dir.Report(), ReadFile(Runs() / (std::string(name) + ".prn")));
  }
}

struct FailureCase {
  const char* name;
  std::string input;
  const char* kind;
  const char* message;
};

// Failures before any report text leave an empty report behind.
TEST(WholeRun, FailuresBeforeTheFirstBlock) {
  const FailureCase cases[] = {
      {"malformed count", "three\r\nA 1 2\r\n", "EInOutError", "Invalid numeric input"},
      {"sign alone", "-\r\nA 1 2\r\n", "EInOutError", "Invalid numeric input"},
      {"dollar alone", "$\r\n", "EInOutError", "Invalid numeric input"},
      {"0x alone", "0x\r\n", "EInOutError", "Invalid numeric input"},
      {"count with a comma", "3,\r\nA 1 2\r\n", "EInOutError", "Invalid numeric input"},
      {"processing time 0", "1\r\nA 0 5\r\n", "EZeroDivide", "Floating point division by zero"},
      {"processing time and due date 0", "1\r\nA 0 0\r\n", "EInvalidOp",
       "Invalid floating point operation"},
      {"malformed processing time", "1\r\nA 1x 2\r\n", "EInOutError", "Invalid numeric input"},
      {"count of 11", "11\r\nA 1 1\r\n", "ERangeError", "Job count 11 exceeds the maximum of 10"},
      {"count of 0", "0\r\n", "EInvalidOp", "Invalid floating point operation"},
      {"empty input", "", "EInvalidOp", "Invalid floating point operation"},
      {"missing job line", "2\r\nA 1 2\r\n", "EInvalidOp", "Invalid floating point operation"},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.name);
    RunDirectory dir;
    WriteFile(dir / "ordplan.txt", c.input);
    WriteFile(dir / "ordplan.prn", std::string(1000, 'o'));  // an earlier report is emptied
    const Outcome outcome = dir.Run();
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_EQ(outcome.standardOutput, "");
    EXPECT_EQ(outcome.standardError, FailureMessage(c.kind, c.message));
    EXPECT_EQ(dir.Report(), "");
  }
}

TEST(WholeRun, MissingInput) {
  RunDirectory dir;
  const Outcome outcome = dir.Run();
  EXPECT_EQ(outcome.exitCode, 1);
  EXPECT_EQ(outcome.standardOutput, "");
  EXPECT_EQ(outcome.standardError, FailureMessage("EInOutError", "File not found"));
  EXPECT_TRUE(fs::exists(dir / "ordplan.prn"));
  EXPECT_EQ(dir.Report(), "");
}

TEST(WholeRun, DirectoryNamedLikeTheInput) {
  RunDirectory dir;
  fs::create_directory(dir / "ordplan.txt");
  const Outcome outcome = dir.Run();
  EXPECT_EQ(outcome.exitCode, 1);
  EXPECT_EQ(outcome.standardError, FailureMessage("EInOutError", "File access denied"));
  EXPECT_EQ(dir.Report(), "");
}

// A report that cannot be created leaves any existing one exactly as it was.
TEST(WholeRun, ReportThatCannotBeCreated) {
  {
    SCOPED_TRACE("read-only report");
    RunDirectory dir;
    WriteFile(dir / "ordplan.txt", ReadFile(Runs() / "three_jobs.txt"));
    WriteFile(dir / "ordplan.prn", "an earlier report\r\n");
    fs::permissions(dir / "ordplan.prn", fs::perms::owner_read | fs::perms::group_read);
    const Outcome outcome = dir.Run();
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_EQ(outcome.standardOutput, "");
    EXPECT_EQ(outcome.standardError, FailureMessage("EInOutError", "File access denied"));
    EXPECT_EQ(dir.Report(), "an earlier report\r\n");
  }
  {
    SCOPED_TRACE("directory named like the report");
    RunDirectory dir;
    WriteFile(dir / "ordplan.txt", ReadFile(Runs() / "three_jobs.txt"));
    fs::create_directory(dir / "ordplan.prn");
    WriteFile(dir / "ordplan.prn" / "inside", "kept");
    const Outcome outcome = dir.Run();
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_EQ(outcome.standardError, FailureMessage("EInOutError", "File access denied"));
    EXPECT_TRUE(fs::is_directory(dir / "ordplan.prn"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "ordplan.prn"), {}), 1);
    EXPECT_EQ(ReadFile(dir / "ordplan.prn" / "inside"), "kept");
  }
}

// While another process holds the report, a run fails and changes nothing of it.
TEST(WholeRun, ReportLockedByAnotherProcess) {
  RunDirectory dir;
  WriteFile(dir / "ordplan.txt", ReadFile(Runs() / "three_jobs.txt"));
  WriteFile(dir / "ordplan.prn", "the other run's report\r\n");
  const int held = ::open((dir / "ordplan.prn").c_str(), O_WRONLY);
  ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
  const Outcome outcome = dir.Run();
  ::close(held);
  EXPECT_EQ(outcome.exitCode, 1);
  EXPECT_EQ(outcome.standardError,
            FailureMessage("EInOutError", "I/O error " + std::to_string(EWOULDBLOCK)));
  EXPECT_EQ(dir.Report(), "the other run's report\r\n");
}

// The report of a full search over seven jobs: every block of the search takes
// 66 * N + 123 + d bytes, d the number of digits of its number.
TEST(WholeRun, SevenJobReportSize) {
  RunDirectory dir;
  WriteFile(dir / "ordplan.txt",
            "7\r\nA 3 4\r\nB 2 3\r\nC 4 12\r\nD 5 9\r\nE 1 2\r\nF 6 30\r\nG 2 8\r\n");
  const Outcome outcome = dir.Run();
  ASSERT_EQ(outcome.exitCode, 0);
  const std::uintmax_t n = 7;
  std::uintmax_t expected = (n + 19) + 66 + n * 65 + 51;  // the block of the given order
  for (std::uintmax_t k = 1; k <= 5040; ++k) expected += 66 * n + 123 + std::to_string(k).size();
  const std::string report = dir.Report();
  const std::size_t summary = report.rfind(" Min. zpozdeni:");
  EXPECT_EQ(summary, expected);
  EXPECT_EQ(report.substr(report.size() - 12), ".permutaci\r\n");
}

// A full disk: every write fails.
TEST(WholeRun, FullDisk) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  RunDirectory dir;
  WriteFile(dir / "ordplan.txt", ReadFile(Runs() / "three_jobs.txt"));
  fs::create_symlink("/dev/full", dir / "ordplan.prn");
  const Outcome outcome = dir.Run();
  EXPECT_EQ(outcome.exitCode, 1);
  EXPECT_EQ(outcome.standardOutput, "");
  EXPECT_EQ(outcome.standardError, FailureMessage("EInOutError", "I/O error 28"));
  EXPECT_TRUE(fs::is_symlink(dir / "ordplan.prn"));  // written through, not replaced
}

// A file-size limit: the failed write is reported, not a signal, and the report keeps what
// the system stored: the start of the report of the same run without the limit, in whole
// 128-byte blocks under a limit of whole kilobytes (ulimit -f), else up to the limit.
TEST(WholeRun, FileSizeLimit) {
  const std::string input =
      "7\r\nA 3 4\r\nB 2 3\r\nC 4 12\r\nD 5 9\r\nE 1 2\r\nF 6 30\r\nG 2 8\r\n";
  RunDirectory unlimited;
  WriteFile(unlimited / "ordplan.txt", input);
  ASSERT_EQ(unlimited.Run().exitCode, 0);
  const std::string complete = unlimited.Report();

  // The standard error file is limited too: every limit leaves room for the message.
  for (const rlim_t limit : {rlim_t{1000 * 1024}, rlim_t{1 * 1024}, rlim_t{1000 * 1024 + 100}}) {
    SCOPED_TRACE(limit);
    RunDirectory dir;
    WriteFile(dir / "ordplan.txt", input);
    const Outcome outcome = dir.Run(limit);
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_EQ(outcome.standardOutput, "");
    EXPECT_EQ(outcome.standardError, FailureMessage("EInOutError", "I/O error 27"));
    const std::string report = dir.Report();
    EXPECT_EQ(report.size(), limit);
    EXPECT_EQ(report, complete.substr(0, limit));
  }
}

// A 100 MB input: blanks and line ends before the count are read through as a stream.
TEST(WholeRun, HundredMegabytesBeforeTheCount) {
  RunDirectory dir;
  {
    std::ofstream out(dir / "ordplan.txt", std::ios::binary);
    std::string blanks;
    for (std::size_t i = 0; blanks.size() < (1u << 20); ++i) blanks += " \r\n\t\0"[i % 5];
    for (int i = 0; i < 100; ++i) out << blanks;
    out << ReadFile(Runs() / "three_jobs.txt");
  }
  const Outcome outcome = dir.Run();
  EXPECT_EQ(outcome.exitCode, 0);
  EXPECT_EQ(outcome.standardError, "");
  EXPECT_EQ(dir.Report(), ReadFile(Runs() / "three_jobs.prn"));
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s EXECUTABLE [WRAPPER...]\n", argv[0]);
    return 2;
  }
  for (int i = 2; i < argc; ++i) Command.push_back(argv[i]);
  Command.push_back(fs::absolute(argv[1]).string());
  return RUN_ALL_TESTS();
}
