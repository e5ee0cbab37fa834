#include "failure.h"

#include <gtest/gtest.h>

namespace ordplan {
namespace {

TEST(IoErrorMessage, ByCode) {
  struct Case {
    int code;
    const char* message;
  };
  for (const Case& c :
       {Case{2, "File not found"}, Case{4, "Too many open files"}, Case{5, "File access denied"},
        Case{106, "Invalid numeric input"}, Case{32, "I/O error 32"}, Case{28, "I/O error 28"},
        Case{3, "I/O error 3"}}) {
    EXPECT_EQ(IoErrorMessage(c.code), c.message);
  }
}

TEST(CheckIo, RaisesAndClearsThePendingCode) {
  PendingIoResult pending;
  EXPECT_NO_THROW(CheckIo(pending));
  pending.Record(5);
  pending.Record(2);  // a later failure replaces the earlier one
  try {
    CheckIo(pending);
    FAIL() << "nothing raised";
  } catch (const RunFailure& failure) {
    EXPECT_EQ(failure.Kind(), "EInOutError");
    EXPECT_EQ(failure.Message(), "File not found");
  }
  EXPECT_EQ(pending.Code, 0);
  EXPECT_NO_THROW(CheckIo(pending));
}

TEST(FailureText, MessageLayout) {
  const RunFailure failure("EInOutError", "File not found", 0x401234);
  EXPECT_EQ(FailureText(failure, "ordplan.exe", 0x400000),
            "Exception EInOutError in module ordplan.exe at 00001234.\r\nFile not found.\r\n\r\n");
  const RunFailure dotted("EInvalidOp", "Ends with a period.", 0xABCDEF);
  EXPECT_EQ(FailureText(dotted, "x", 0),
            "Exception EInvalidOp in module x at 00ABCDEF.\r\nEnds with a period.\r\n\r\n");
}

TEST(Raisers, KindsAndMessages) {
  struct Case {
    void (*raise)();
    const char* kind;
    const char* message;
  };
  const Case cases[] = {
      {[] { RaiseZeroDivide(); }, "EZeroDivide", "Floating point division by zero"},
      {[] { RaiseInvalidOperation(); }, "EInvalidOp", "Invalid floating point operation"},
      {[] { RaiseIoError(106); }, "EInOutError", "Invalid numeric input"},
      {[] { RaiseRangeError("Job count 11 exceeds the maximum of 10"); }, "ERangeError",
       "Job count 11 exceeds the maximum of 10"},
  };
  for (const Case& c : cases) {
    try {
      c.raise();
      ADD_FAILURE() << "nothing raised";
    } catch (const RunFailure& failure) {
      EXPECT_EQ(failure.Kind(), c.kind);
      EXPECT_EQ(failure.Message(), c.message);
      EXPECT_NE(failure.Address(), 0u);
    }
  }
}

}  // namespace
}  // namespace ordplan
