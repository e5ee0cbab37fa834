#include <gtest/gtest.h>

#include <memory>

#include "code_page.h"
#include "memory_file_system.h"
#include "run.h"

namespace ordplan {
namespace {

struct DriverCase {
  const char* name;
  const char* input;
  int readError;
  int openError;
  const char* message;  // "" for a complete run
};

// Runs in memory; the report is what a failure leaves on disk.
TEST(Driver, WhereFailuresAreRaised) {
  const DriverCase cases[] = {
      // A failed read while reading the count gives the count 0: the failure waits for the
      // first check, in the block of the given order, before its invalid operation.
      {"failed read", "3\nA 1 2\nB 2 3\nC 3 4\n", 5, 0, "File access denied"},
      {"open fails", "1\nA 1 1\n", 0, 32, "I/O error 32"},
      {"count too large after a malformed one", "12x\n", 0, 0, "Invalid numeric input"},
      {"complete run", "1\nA 1 1\n", 0, 0, ""},
  };
  for (const DriverCase& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryFileSystem files;
    files.Files[u"ordplan.txt"] = c.input;
    files.ReadError = c.readError;
    files.OpenError = c.openError;
    auto run = std::make_unique<RunState>(files, Windows1250());
    std::string message;
    try {
      ordplan::Run(*run);
    } catch (const RunFailure& failure) {
      message = failure.Message();
      run->ReportFile.Abandon();
    }
    EXPECT_EQ(message, c.message);
    if (*c.message != '\0') {
      EXPECT_EQ(files.Files[u"ordplan.prn"], "");
    }
  }
}

TEST(Driver, GivenOrderNeverCountsInTheSummary) {
  // Every order is on time. The block of the given order, numbered 2, reaches 0 first; the
  // summary names permutation 1 all the same.
  MemoryFileSystem files;
  files.Files[u"ordplan.txt"] = "2\nA 1 5\nB 1 5\n";
  auto run = std::make_unique<RunState>(files, Windows1250());
  ordplan::Run(*run);
  EXPECT_EQ(run->SequenceNumber, 3);
  EXPECT_EQ(run->GivenOrderCounter, 3);
  const std::string& report = files.Files[u"ordplan.prn"];
  EXPECT_EQ(report.substr(report.rfind(" Min. zpozdeni:")),
            " Min. zpozdeni:   0.000 pro 1.permutaci\r\n"
            " Min. kv.zpozdeni:   0.000 pro 1.permutaci\r\n");
}

}  // namespace
}  // namespace ordplan
