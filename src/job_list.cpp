#include "job_list.h"

namespace ordplan {

InputTextFile::InputTextFile(FileSystem& files, const CodePage& codePage, PendingIoResult& pending)
    : files_(files), codePage_(codePage), pending_(pending) {}

InputTextFile::~InputTextFile() = default;

void InputTextFile::Bind(std::u16string name) {
  name_ = std::move(name);
  file_.reset();
  position_ = filled_ = 0;
  atEnd_ = false;
}

void InputTextFile::OpenForReading() {
  const int error = files_.OpenForReading(name_, file_);
  if (error != 0) {
    file_.reset();
    pending_.Record(error);
    return;
  }
  if (!buffer_) buffer_ = std::make_unique<unsigned char[]>(ReadSize);
  position_ = filled_ = 0;
  atEnd_ = false;
}

void InputTextFile::Close() {
  if (!file_) return;
  const int error = file_->Close();
  file_.reset();
  if (error != 0) pending_.Record(error);
}

int InputTextFile::Refill() {
  if (atEnd_ || !file_) return EndOfFile;
  std::size_t got = 0;
  const int error = file_->Read(buffer_.get(), ReadSize, got);
  if (error != 0) pending_.Record(error);
  if (error != 0 || got == 0) {
    atEnd_ = true;
    return EndOfFile;
  }
  position_ = 0;
  filled_ = got;
  return Peek();
}

char16_t InputTextFile::ReadLabel() {
  unsigned char bytes[MaxLabelBytes];
  for (int taken = 0; taken < MaxLabelBytes;) {
    const int next = Peek();
    if (next == EndOfFile) {
      bytes[taken++] = 0x1A;  // taken without moving
    } else {
      bytes[taken++] = static_cast<unsigned char>(next);
      ++position_;
    }
    char16_t label;
    if (codePage_.DecodeCharacter(std::span<const unsigned char>(bytes, taken), label)) {
      return label;
    }
  }
  pending_.Record(ErrorInvalidNumber);
  return 0;
}

std::int32_t InputTextFile::ReadInteger() {
  int next = Peek();
  while (next != EndOfFile && next <= 32) {
    ++position_;
    next = Peek();
  }
  if (next == EndOfFile) return 0;
  char text[MaxNumberText];
  std::size_t length = 0;
  while (length < MaxNumberText && next != EndOfFile && next > 32) {
    text[length++] = static_cast<char>(next);
    ++position_;
    if (length < MaxNumberText) next = Peek();
  }
  std::int32_t value;
  if (!ParseNumber(std::string_view(text, length), value)) {
    pending_.Record(ErrorInvalidNumber);
    return 1;
  }
  return value;
}

void InputTextFile::SkipLine() {
  for (int next = Peek(); next != EndOfFile; next = Peek()) {
    ++position_;
    if (next == '\n') return;
  }
}

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

// Every ANSI code page writes the characters of a number as their ASCII bytes, and no byte
// above 127 converts to one of them, so the text is matched byte by byte.
bool ParseNumber(std::string_view text, std::int32_t& value) {
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  bool hexadecimal = false;
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    hexadecimal = true;
    text.remove_prefix(2);
  } else if (!text.empty() && (text[0] == '$' || text[0] == 'x' || text[0] == 'X')) {
    hexadecimal = true;
    text.remove_prefix(1);
  }
  if (text.empty()) return false;

  std::uint64_t magnitude = 0;
  const std::uint64_t base = hexadecimal ? 16 : 10;
  const std::uint64_t limit = hexadecimal ? 0xFFFFFFFFu : (negative ? 2147483648u : 2147483647u);
  for (char c : text) {
    const int digit = hexadecimal ? HexDigit(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
    if (digit < 0) return false;
    magnitude = magnitude * base + static_cast<std::uint64_t>(digit);
    if (magnitude > limit) return false;
  }
  std::uint32_t pattern = static_cast<std::uint32_t>(magnitude);
  if (negative) pattern = ~pattern + 1;  // two's complement, also for hexadecimal patterns
  value = static_cast<std::int32_t>(pattern);
  return true;
}

void ReadJobCount(InputTextFile& file, std::int32_t& count) {
  count = file.ReadInteger();
  file.SkipLine();
}

double CriticalRatio(std::int32_t dueDate, std::int32_t processingTime) {
  if (processingTime == 0) {
    if (dueDate == 0) RaiseInvalidOperation();
    RaiseZeroDivide();
  }
  return static_cast<double>(static_cast<long double>(dueDate) /
                             static_cast<long double>(processingTime));
}

void ReadJobs(InputTextFile& file, PendingIoResult& pending, std::int32_t count, JobList& jobs) {
  if (count > MaxJobs) {
    CheckIo(pending);
    RaiseRangeError("Job count " + std::to_string(count) + " exceeds the maximum of " +
                    std::to_string(MaxJobs));
  }
  for (std::int32_t position = 1; position <= count; ++position) {
    Job& job = jobs[position];
    job.Label = file.ReadLabel();
    CheckIo(pending);
    job.ProcessingTime = file.ReadInteger();
    CheckIo(pending);
    job.DueDate = file.ReadInteger();
    file.SkipLine();
    CheckIo(pending);
    job.CriticalRatio = CriticalRatio(job.DueDate, job.ProcessingTime);
  }
}

}  // namespace ordplan
