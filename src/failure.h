// How a failure ends a run: every failure is a RunFailure exception that travels to main,
// which writes its message to standard error and ends the process with exit code 1.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace ordplan {

// A failure that ends the run. `Kind` names its class ("EInOutError", "EZeroDivide",
// "EInvalidOp", "EOverflow", "ERangeError"), `Message` says what happened, and `Address` is
// the code address of the call site that raised it.
class RunFailure : public std::exception {
 public:
  RunFailure(std::string kind, std::string message, std::uintptr_t address)
      : kind_(std::move(kind)), message_(std::move(message)), address_(address) {}

  const std::string& Kind() const { return kind_; }
  const std::string& Message() const { return message_; }
  std::uintptr_t Address() const { return address_; }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string kind_;
  std::string message_;
  std::uintptr_t address_;
};

// The input/output result of the run: the error code of the last failed file operation, 0
// when none is pending. File operations record into it and carry on; CheckIo raises it.
struct PendingIoResult {
  int Code = 0;

  // A later failure replaces an earlier one.
  void Record(int code) { Code = code; }
};

// The message of an input/output error code: 2 "File not found", 4 "Too many open files",
// 5 "File access denied", 106 "Invalid numeric input", any other "I/O error N".
std::string IoErrorMessage(int code);

// The code that a malformed or out-of-range number records.
inline constexpr int ErrorInvalidNumber = 106;

// Raisers of each kind of failure. They are never inlined, so the address they record is the
// return address into the code that called them.
[[noreturn]] void RaiseIoError(int code);
[[noreturn]] void RaiseZeroDivide();
[[noreturn]] void RaiseInvalidOperation();
[[noreturn]] void RaiseRangeError(std::string message);

// Raises the pending input/output failure, if any, after clearing it.
inline void CheckIo(PendingIoResult& pending) {
  if (pending.Code != 0) [[unlikely]] {
    const int code = pending.Code;
    pending.Code = 0;
    RaiseIoError(code);
  }
}

// The failure message for standard error: "Exception KIND in module MODULE at LOCATION.",
// then the failure's message with a period added where it has none, then an empty line, each
// line ended by CR LF. The location is the failure's address counted from `imageBase`, as
// eight upper-case hexadecimal digits.
std::string FailureText(const RunFailure& failure, const std::string& module,
                        std::uintptr_t imageBase);

}  // namespace ordplan
