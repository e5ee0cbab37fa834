#include "failure.h"

#include <cstdio>

namespace ordplan {

namespace {

[[noreturn, gnu::noinline]] void Raise(std::string kind, std::string message,
                                       std::uintptr_t address) {
  throw RunFailure(std::move(kind), std::move(message), address);
}

std::uintptr_t CallerAddress(void* returnAddress) {
  return reinterpret_cast<std::uintptr_t>(returnAddress);
}

}  // namespace

std::string IoErrorMessage(int code) {
  switch (code) {
    case 2:
      return "File not found";
    case 4:
      return "Too many open files";
    case 5:
      return "File access denied";
    case ErrorInvalidNumber:
      return "Invalid numeric input";
    default:
      return "I/O error " + std::to_string(code);
  }
}

[[gnu::noinline]] void RaiseIoError(int code) {
  Raise("EInOutError", IoErrorMessage(code), CallerAddress(__builtin_return_address(0)));
}

[[gnu::noinline]] void RaiseZeroDivide() {
  Raise("EZeroDivide", "Floating point division by zero",
        CallerAddress(__builtin_return_address(0)));
}

[[gnu::noinline]] void RaiseInvalidOperation() {
  Raise("EInvalidOp", "Invalid floating point operation",
        CallerAddress(__builtin_return_address(0)));
}

[[gnu::noinline]] void RaiseRangeError(std::string message) {
  Raise("ERangeError", std::move(message), CallerAddress(__builtin_return_address(0)));
}

std::string FailureText(const RunFailure& failure, const std::string& module,
                        std::uintptr_t imageBase) {
  char location[16];
  std::snprintf(location, sizeof location, "%08X",
                static_cast<unsigned>((failure.Address() - imageBase) & 0xFFFFFFFFu));
  std::string text = "Exception " + failure.Kind() + " in module " + module + " at " + location +
                     ".\r\n" + failure.Message();
  if (text.empty() || text.back() != '.') text += '.';
  text += "\r\n\r\n";
  return text;
}

}  // namespace ordplan
