// The jobs and their input file.
//
// ordplan.txt holds the job count, then on the lines after the count's line one job per line:
// the label (the line's very first character), the processing time and the due date.
#pragma once

#include <array>
#include <cassert>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "failure.h"
#include "fields.h"
#include "platform.h"

namespace ordplan {

inline constexpr std::int32_t MaxJobs = 10;

// A job. Like JobList it is a plain record: a list declared without an initializer is left
// unfilled (the search keeps one per level and fills what it uses), one value-initialized with
// {} holds zeros.
struct Job {
  char16_t Label;
  std::int32_t ProcessingTime;
  std::int32_t DueDate;
  double CriticalRatio;  // DueDate / ProcessingTime
  // Filled in by the evaluation of an order. They are wide enough that no schedule of
  // MaxJobs jobs of 32-bit times can overflow them.
  std::int64_t Completion;
  std::int64_t Tardiness;
  Int128 SquaredTardiness;
};

// A fixed list of MaxJobs jobs at positions 1 to MaxJobs. It carries no count: the number of
// positions in use is passed beside it.
struct JobList {
  std::array<Job, MaxJobs> Jobs;

  Job& operator[](std::int32_t position) {
    assert(position >= 1 && position <= MaxJobs);
    return Jobs[static_cast<std::size_t>(position - 1)];
  }
  const Job& operator[](std::int32_t position) const {
    assert(position >= 1 && position <= MaxJobs);
    return Jobs[static_cast<std::size_t>(position - 1)];
  }
};

// The input text file, read forward once.
//
// End of file is the physical end or the first byte 0x1A, whichever comes first. A blank is
// any byte from 0 to 32 other than 0x1A; a line ends with LF. A failed read records its error
// number and then reads as the end of the file. No operation throws: failures are recorded in
// the run's PendingIoResult.
class InputTextFile {
 public:
  InputTextFile(FileSystem& files, const CodePage& codePage, PendingIoResult& pending);
  ~InputTextFile();
  InputTextFile(const InputTextFile&) = delete;
  InputTextFile& operator=(const InputTextFile&) = delete;

  // Records the name; touches no file.
  void Bind(std::u16string name);
  void OpenForReading();
  void Close();

  // One character: bytes are taken until they form one character of the code page that is a
  // single UTF-16 code unit, at most MaxLabelBytes of them (else 106 and U+0000). At the end
  // of the file the label is U+001A and nothing is consumed. Nothing is skipped before it.
  char16_t ReadLabel();

  // Skips blanks, then takes the number's text: the bytes above 32 that follow, at most
  // MaxNumberText of them. The end of the file before any text gives 0. A text that is not a
  // number (ParseNumber) records 106 and gives 1.
  std::int32_t ReadInteger();

  // Takes bytes up to and including the next LF, or to the end of the file.
  void SkipLine();

  static constexpr int MaxLabelBytes = 7;
  static constexpr int MaxNumberText = 32;

 private:
  static constexpr int EndOfFile = -1;
  static constexpr std::size_t ReadSize = 64 * 1024;

  // The next byte without taking it, or EndOfFile.
  int Peek() {
    if (position_ < filled_) [[likely]] {
      const unsigned char byte = buffer_[position_];
      if (byte != 0x1A) [[likely]]
        return byte;
      atEnd_ = true;
      return EndOfFile;
    }
    return Refill();
  }
  int Refill();

  FileSystem& files_;
  const CodePage& codePage_;
  PendingIoResult& pending_;
  std::u16string name_;
  std::unique_ptr<OsFile> file_;
  std::unique_ptr<unsigned char[]> buffer_;
  std::size_t position_ = 0;
  std::size_t filled_ = 0;
  bool atEnd_ = false;
};

// Reads a number's text: an optional "+" or "-", then one or more decimal digits, or a
// hexadecimal prefix ("$", "x", "X", "0x", "0X") and one or more hexadecimal digits. A decimal
// value must lie in the 32-bit signed range; hexadecimal digits may reach FFFFFFFF and are
// read as a two's-complement pattern, which a minus sign negates in 32 bits. Returns false for
// any other text.
bool ParseNumber(std::string_view text, std::int32_t& value);

// Reads the job count and skips the rest of its line. Checks nothing.
void ReadJobCount(InputTextFile& file, std::int32_t& count);

// Reads `count` job lines into positions 1 onward of `jobs`, with a check after the label,
// after the processing time and after the rest of the line, and computes each critical
// ratio. A count above MaxJobs ends the run (ERangeError) before any line is read, after a
// failure pending from reading the count.
void ReadJobs(InputTextFile& file, PendingIoResult& pending, std::int32_t count, JobList& jobs);

// DueDate / ProcessingTime: the quotient formed with a 64-bit significand, then rounded to a
// double. A zero processing time is a division by zero, or an invalid operation when the due
// date is zero too.
double CriticalRatio(std::int32_t dueDate, std::int32_t processingTime);

}  // namespace ordplan
