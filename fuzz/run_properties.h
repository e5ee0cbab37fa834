// Whole runs of ordplan over an in-memory file system, and the properties every run must keep,
// shared by the fuzzer and the test that replays its findings.
//
// A fuzz input is one control byte followed by the content of ordplan.txt. The control byte
// chooses the failures injected into the file system:
//   bit 0     a write failure: the report's writes fail once as many bytes have been stored
//             as the next three bytes give (little-endian); the input then follows them
//   bits 1-2  the error number of that write failure: 28, 27, 5 or 4
//   bits 3-5  0-2 none, 3 creating the report fails with 5, 4 creating it fails with 11,
//             5 opening the input fails with 5, 6 opening it fails with 4, 7 no input file
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace ordplan {

// What one fuzz input asks for.
struct FuzzCase {
  std::string Input;  // the content of ordplan.txt
  bool InputExists = true;
  int CreateError = 0;
  int OpenError = 0;
  std::optional<std::size_t> WriteFailsAfter;
  int WriteError = 28;
};

FuzzCase DecodeFuzzInput(std::span<const std::uint8_t> data);

// The report that stands in the directory before each run: its length is no multiple of 128.
inline constexpr std::size_t EarlierReportSize = 1000;

// The largest job count run in full: a run of 6 jobs writes 721 blocks, one of 7 already 5041.
// Counts above MaxJobs are run too, as they fail before any job is read.
inline constexpr std::int32_t MaxFuzzedJobs = 6;

// The end of one run, as main would see it.
struct RunOutcome {
  bool Succeeded = false;  // exit code 0
  std::string Kind;        // of the failure (exit code 1)
  std::string Message;
  std::string FailureText;   // the standard-error text, module "ordplan", image base 0
  std::string Report;        // the report after the run (after Abandon on a failure)
  bool WriteFailed = false;  // a write to the report stored fewer bytes than it was given
};

// The job count as the run reads it.
std::int32_t CountAsRead(const std::string& input);

// Runs ordplan once over an in-memory file system holding the case's input and an earlier
// report of EarlierReportSize bytes.
RunOutcome RunInMemory(const FuzzCase& fuzzCase);

// Checks one outcome of `fuzzCase`; `reference` is the outcome of the same case without the
// write failure, given when the case injects one. Returns "" when every property holds, else
// what is wrong.
std::string CheckOutcome(const FuzzCase& fuzzCase, const RunOutcome& outcome,
                         const RunOutcome* reference);

// Decodes, runs and checks one fuzz input: "" when every property holds, else what is wrong;
// nothing when the input's job count is too large to run quickly (7 to MaxJobs).
std::optional<std::string> CheckFuzzInput(std::span<const std::uint8_t> data);

}  // namespace ordplan
