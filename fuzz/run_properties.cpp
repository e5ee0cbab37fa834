#include "run_properties.h"

#include <memory>
#include <numeric>
#include <string_view>

#include "code_page.h"
#include "failure.h"
#include "job_list.h"
#include "memory_file_system.h"
#include "run.h"

namespace ordplan {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Takes `prefix` from the front of `text`.
bool Take(std::string_view& text, std::string_view prefix) {
  if (!text.starts_with(prefix)) return false;
  text.remove_prefix(prefix.size());
  return true;
}

// Takes a decimal number without a sign or leading zeros.
bool TakeNumber(std::string_view& text, std::uint64_t& value) {
  std::size_t length = 0;
  value = 0;
  while (length < text.size() && IsDigit(text[length])) {
    if (length == 19) return false;
    value = value * 10 + static_cast<std::uint64_t>(text[length] - '0');
    ++length;
  }
  if (length == 0 || (length > 1 && text[0] == '0')) return false;
  text.remove_prefix(length);
  return true;
}

// Takes a fixed-point field of width 8 with 3 decimals: right-aligned, widened when the value
// needs more room.
bool TakeFixedField(std::string_view& text, std::string& value) {
  std::size_t length = 0;
  while (length < text.size() && text[length] == ' ') ++length;
  const std::size_t spaces = length;
  if (length < text.size() && text[length] == '-') ++length;
  const std::size_t digitsStart = length;
  while (length < text.size() && IsDigit(text[length])) ++length;
  if (length == digitsStart || length + 4 > text.size() || text[length] != '.') return false;
  if (!IsDigit(text[length + 1]) || !IsDigit(text[length + 2]) || !IsDigit(text[length + 3])) {
    return false;
  }
  length += 4;
  if (length < 8 || (length > 8 && spaces > 0)) return false;
  value.assign(text.substr(spaces, length - spaces));
  text.remove_prefix(length);
  return true;
}

struct SummaryLine {
  std::string Value;
  std::uint64_t Permutation = 0;
};

// Takes one summary line: `head`, the best value, " pro ", its permutation, ".permutaci" and
// CR LF.
bool TakeSummaryLine(std::string_view& text, std::string_view head, SummaryLine& line) {
  return Take(text, head) && TakeFixedField(text, line.Value) && Take(text, " pro ") &&
         TakeNumber(text, line.Permutation) && Take(text, ".permutaci\r\n");
}

std::uint64_t Factorial(std::int32_t n) {
  std::uint64_t product = 1;
  for (std::int32_t k = 2; k <= n; ++k) product *= static_cast<std::uint64_t>(k);
  return product;
}

// The report of a complete run starts with the block of the given order, has a block for
// each of the count! permutations and ends with the two summary lines; each names a
// permutation that exists, and a permutation 0 (none beat the initial best) shows the initial
// best.
std::string CheckCompleteReport(const std::string& report, std::int32_t count) {
  if (!report.starts_with("Zadany vektor[" + std::to_string(count) + "]:")) {
    return "the report does not start with the block of the given order";
  }
  const std::uint64_t permutations = count > 0 ? Factorial(count) : 0;
  if (permutations > 0 &&
      report.find("\r\nP[" + std::to_string(permutations) + "]:") == std::string::npos) {
    return "no block of the last permutation " + std::to_string(permutations);
  }
  if (report.find("\r\nP[" + std::to_string(permutations + 1) + "]:") != std::string::npos) {
    return "a block beyond the last permutation " + std::to_string(permutations);
  }
  const std::size_t second = report.rfind(" Min. kv.zpozdeni:");
  const std::size_t first =
      second == std::string::npos ? std::string::npos : report.rfind(" Min. zpozdeni:", second);
  if (first == std::string::npos || first < 2 || report.compare(first - 2, 2, "\r\n") != 0) {
    return "the report does not end with the two summary lines";
  }
  std::string_view rest = std::string_view(report).substr(first);
  SummaryLine mean, rms;
  if (!TakeSummaryLine(rest, " Min. zpozdeni:", mean) ||
      !TakeSummaryLine(rest, " Min. kv.zpozdeni:", rms) || !rest.empty()) {
    return "malformed summary lines: " + report.substr(first);
  }
  for (const SummaryLine* line : {&mean, &rms}) {
    if (line->Permutation > permutations) {
      return "the summary names permutation " + std::to_string(line->Permutation) + " of " +
             std::to_string(permutations);
    }
    if (line->Permutation == 0 && line->Value != "30000.000") {
      return "permutation 0 with the best value " + line->Value;
    }
  }
  return "";
}

// Kind and message are one of the failures ordplan knows.
std::string CheckFailureKind(const RunOutcome& outcome, std::int32_t count) {
  const std::string& kind = outcome.Kind;
  const std::string& message = outcome.Message;
  bool known = false;
  if (kind == "EInOutError") {
    std::string_view number = message;
    std::uint64_t code = 0;
    known = message == "File not found" || message == "File access denied" ||
            message == "Too many open files" || message == "Invalid numeric input" ||
            (Take(number, "I/O error ") && TakeNumber(number, code) && number.empty() && code != 0);
  } else if (kind == "EZeroDivide") {
    known = message == "Floating point division by zero";
  } else if (kind == "EInvalidOp") {
    known = message == "Invalid floating point operation";
  } else if (kind == "ERangeError") {
    known = count > MaxJobs &&
            message == "Job count " + std::to_string(count) + " exceeds the maximum of 10";
  }
  if (!known) return "unknown failure " + kind + ": " + message;

  std::string_view text = outcome.FailureText;
  if (!Take(text, "Exception " + kind + " in module ordplan at ") || text.size() < 8) {
    return "malformed failure text: " + outcome.FailureText;
  }
  for (int i = 0; i < 8; ++i) {
    const char c = text[static_cast<std::size_t>(i)];
    if (!IsDigit(c) && !(c >= 'A' && c <= 'F')) return "malformed location: " + outcome.FailureText;
  }
  text.remove_prefix(8);
  if (text != ".\r\n" + message + ".\r\n\r\n") {
    return "malformed failure text: " + outcome.FailureText;
  }
  return "";
}

bool SameOutcome(const RunOutcome& a, const RunOutcome& b) {
  return a.Succeeded == b.Succeeded && a.Kind == b.Kind && a.Message == b.Message &&
         a.Report == b.Report;
}

}  // namespace

FuzzCase DecodeFuzzInput(std::span<const std::uint8_t> data) {
  FuzzCase fuzzCase;
  if (data.empty()) return fuzzCase;
  const std::uint8_t control = data[0];
  data = data.subspan(1);
  if (control & 1) {
    std::size_t after = 0;
    for (std::size_t i = 0; i < 3 && i < data.size(); ++i) after |= std::size_t{data[i]} << (8 * i);
    data = data.subspan(std::min<std::size_t>(3, data.size()));
    fuzzCase.WriteFailsAfter = after;
    constexpr int writeErrors[] = {28, 27, 5, 4};
    fuzzCase.WriteError = writeErrors[(control >> 1) & 3];
  }
  switch ((control >> 3) & 7) {
    case 3:
      fuzzCase.CreateError = 5;
      break;
    case 4:
      fuzzCase.CreateError = 11;
      break;
    case 5:
      fuzzCase.OpenError = 5;
      break;
    case 6:
      fuzzCase.OpenError = 4;
      break;
    case 7:
      fuzzCase.InputExists = false;
      break;
    default:
      break;
  }
  fuzzCase.Input.assign(reinterpret_cast<const char*>(data.data()), data.size());
  return fuzzCase;
}

std::int32_t CountAsRead(const std::string& input) {
  MemoryFileSystem files;
  files.Files[u"ordplan.txt"] = input;
  PendingIoResult pending;
  InputTextFile file(files, Windows1250(), pending);
  file.Bind(u"ordplan.txt");
  file.OpenForReading();
  std::int32_t count = 0;
  ReadJobCount(file, count);
  return count;
}

RunOutcome RunInMemory(const FuzzCase& fuzzCase) {
  MemoryFileSystem files;
  if (fuzzCase.InputExists) files.Files[u"ordplan.txt"] = fuzzCase.Input;
  files.Files[u"ordplan.prn"] = std::string(EarlierReportSize, 'o');
  files.CreateError = fuzzCase.CreateError;
  files.OpenError = fuzzCase.OpenError;
  files.WriteFailsAfter = fuzzCase.WriteFailsAfter;
  files.WriteError = fuzzCase.WriteError;

  RunOutcome outcome;
  auto run = std::make_unique<RunState>(files, Windows1250());
  try {
    Run(*run);
    outcome.Succeeded = true;
  } catch (const RunFailure& failure) {
    run->ReportFile.Abandon();
    outcome.Kind = failure.Kind();
    outcome.Message = failure.Message();
    outcome.FailureText = FailureText(failure, "ordplan", 0);
  }
  run.reset();
  outcome.Report = files.Files[u"ordplan.prn"];
  const std::size_t handedOver =
      std::accumulate(files.WriteCalls.begin(), files.WriteCalls.end(), std::size_t{0});
  outcome.WriteFailed = fuzzCase.WriteFailsAfter && handedOver > *fuzzCase.WriteFailsAfter;
  return outcome;
}

std::string CheckOutcome(const FuzzCase& fuzzCase, const RunOutcome& outcome,
                         const RunOutcome* reference) {
  const std::int32_t count = CountAsRead(fuzzCase.Input);
  if (!outcome.Succeeded) {
    const std::string kind = CheckFailureKind(outcome, count);
    if (!kind.empty()) return kind;
  }

  // Failures of the file system come first and say what failed.
  const auto expectFailure = [&](int code, const std::string& report) -> std::string {
    if (outcome.Succeeded || outcome.Kind != "EInOutError" ||
        outcome.Message != IoErrorMessage(code)) {
      return "expected " + IoErrorMessage(code) + ", got " +
             (outcome.Succeeded ? "success" : outcome.Kind + ": " + outcome.Message);
    }
    if (outcome.Report != report) {
      return "the report is " + std::to_string(outcome.Report.size()) + " bytes, expected " +
             std::to_string(report.size());
    }
    return "";
  };
  if (fuzzCase.CreateError != 0) {
    // The earlier report is left exactly as it was.
    return expectFailure(fuzzCase.CreateError, std::string(EarlierReportSize, 'o'));
  }
  if (!fuzzCase.InputExists) return expectFailure(ErrorFileNotFound, "");
  if (fuzzCase.OpenError != 0) return expectFailure(fuzzCase.OpenError, "");

  if (outcome.WriteFailed) {
    // The report keeps what the system stored: the text of the run without the failure up to
    // the point where the writes began to fail.
    const std::size_t stored = *fuzzCase.WriteFailsAfter;
    if (reference == nullptr || reference->Report.size() < stored) {
      return "a write failed beyond the report of the same run without the failure";
    }
    return expectFailure(fuzzCase.WriteError, reference->Report.substr(0, stored));
  }
  if (reference != nullptr && !SameOutcome(outcome, *reference)) {
    return "a write failure that never struck changed the run";
  }

  if (outcome.Succeeded) {
    if (count == 0 || count > MaxJobs) {
      return "a job count of " + std::to_string(count) + " succeeded";
    }
    return CheckCompleteReport(outcome.Report, count);
  }
  if (outcome.Report.size() % 128 != 0) {
    return "after a failure the report is " + std::to_string(outcome.Report.size()) +
           " bytes, no whole number of 128-byte blocks";
  }
  if ((count > MaxJobs && outcome.Kind != "ERangeError") ||
      (count == 0 && outcome.Kind != "EInvalidOp") || count < 0) {
    return "a job count of " + std::to_string(count) + " failed with " + outcome.Kind;
  }
  if (outcome.Kind == "EInOutError" && outcome.Message != "Invalid numeric input") {
    return "an input/output failure that no file system failure caused: " + outcome.Message;
  }
  return "";
}

std::optional<std::string> CheckFuzzInput(std::span<const std::uint8_t> data) {
  const FuzzCase fuzzCase = DecodeFuzzInput(data);
  const bool readsInput =
      fuzzCase.CreateError == 0 && fuzzCase.OpenError == 0 && fuzzCase.InputExists;
  if (readsInput) {
    const std::int32_t count = CountAsRead(fuzzCase.Input);
    if (count > MaxFuzzedJobs && count <= MaxJobs) return std::nullopt;
  }
  const RunOutcome outcome = RunInMemory(fuzzCase);
  if (!fuzzCase.WriteFailsAfter) return CheckOutcome(fuzzCase, outcome, nullptr);
  FuzzCase withoutFailure = fuzzCase;
  withoutFailure.WriteFailsAfter.reset();
  const RunOutcome reference = RunInMemory(withoutFailure);
  return CheckOutcome(fuzzCase, outcome, &reference);
}

}  // namespace ordplan
