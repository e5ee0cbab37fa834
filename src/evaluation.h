// The evaluation of one order of the jobs and its report block.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <memory>
#include <string_view>

#include "job_list.h"
#include "output_text_file.h"

namespace ordplan {

struct RunState;

// Lays the first `count` jobs of `jobs` back to back from time 0, fills in their Completion,
// Tardiness and SquaredTardiness, and writes the block of the order: the line with `label`,
// "[", the counter's value, "]:" and the labels; the column header line; one row per job; the
// line with the mean and the root-mean-square tardiness. Increases `counter` by 1, and
// replaces each best value of the run, with this block's number, where this order's value is
// strictly smaller. A check follows each statement that writes; no jobs (count 0) is an
// invalid operation after the column header line.
void ReportSequence(RunState& run, std::u16string_view label, JobList& jobs, std::int32_t& counter,
                    const std::int32_t& count);

// The column header line of every block (without its line end).
inline constexpr std::u16string_view ColumnHeader =
    u"Uloha  \tCelk. cas  Termin    CR   Dokoncen\u00ED  Zpozdeni   Kv.zpoz.";

// The mean of `count` values whose sum is `sum`: the quotient with a 64-bit significand,
// rounded to a double. A count of 0 is an invalid operation.
double MeanTardiness(double sum, std::int32_t count);

// The root-mean-square of `count` values whose squares add up to `sumOfSquares`: quotient and
// root with a 64-bit significand, only the root rounded to a double. A negative quotient is an
// invalid operation.
double RmsTardiness(double sumOfSquares, std::int32_t count);

// The first line of a block, with its line end: the label, "[", the block's number, "]:" and
// the labels of the jobs. The number usually follows the previous block's, so its digits are
// counted on rather than formatted again.
class BlockFirstLine {
 public:
  std::string_view Text(OutputTextFile& report, std::u16string_view label, std::int32_t number,
                        const JobList& jobs, std::int32_t count);

 private:
  // Formats the part up to and including "]:".
  void Start(OutputTextFile& report, std::u16string_view label, std::int32_t number);
  // Adds one to the number in place; false when that needs another digit.
  bool CountOn();

  std::u16string label_;
  std::int32_t number_ = 0;
  bool started_ = false;
  std::size_t numberStart_ = 0;  // the digits of the number
  std::size_t numberEnd_ = 0;
  std::size_t prefixLength_ = 0;  // up to and including "]:"
  // The label, "[", the number, "]:", up to MaxJobs labels and the line end; a label longer
  // than MaxLabelText bytes in the code page is cut (the program's labels are one letter).
  static constexpr std::size_t MaxLabelText = 64;
  std::array<char, MaxLabelText + 16 + MaxJobs * 16 + 2> text_;
};

// The rows of a block, each with its line end, built on the rows of the previous block.
//
// A row's text depends only on its job and the job's completion time. In the order of the
// search most rows of a block repeat the previous block's rows at the same positions, which
// are kept as they are; a row that changes has mostly been formatted before, in another block,
// and is copied from a cache of rows.
class BlockRows {
 public:
  BlockRows();

  // Sets row `position` for `job`, whose computed fields are filled in. The rows of a block
  // are set in order from position 1.
  void Set(OutputTextFile& report, std::int32_t position, const Job& job) {
    const Key& kept = keys_[static_cast<std::size_t>(position)];
    if (position <= kept_ && kept.Completion == job.Completion &&
        kept.ProcessingTime == job.ProcessingTime && kept.DueDate == job.DueDate &&
        kept.Label == job.Label &&
        kept.CriticalRatioBits == std::bit_cast<std::uint64_t>(job.CriticalRatio)) {
      return;  // as in the previous block
    }
    SetAnew(report, position, job);
  }

  // The text of rows 1 to `count`, as set for this block.
  std::string_view Text(std::int32_t count) const {
    return std::string_view(text_.data(), count > 0 ? start_[count + 1] : 0);
  }

 private:
  struct Key {
    std::int64_t Completion;
    std::int32_t ProcessingTime;
    std::int32_t DueDate;
    std::uint64_t CriticalRatioBits;
    char16_t Label;
    bool operator==(const Key&) const = default;
  };
  static Key KeyOf(const Job& job);
  void SetAnew(OutputTextFile& report, std::int32_t position, const Job& job);

  // The longest row kept in the cache (without its line end); longer rows, of very wide
  // values, are formatted each time.
  static constexpr std::size_t MaxCachedRow = 94;
  struct CachedRow {
    Key RowKey;
    std::uint8_t Length;  // 0: empty
    char Text[MaxCachedRow];
  };
  static constexpr std::size_t CacheSize = 8192;  // a power of two

  // The longest row: a label of up to 13 bytes, two 32-bit integers, a critical ratio, two
  // 64-bit and one 128-bit integer, and the line end.
  static constexpr std::size_t MaxRowText = 16 + 2 * 11 + 16 + 2 * 20 + 40 + 2;

  // Writes the row of `job` at `out` (room for MaxRowText plus scratch); returns its length.
  static std::size_t Format(OutputTextFile& report, const Job& job, char* out);

  std::array<Key, MaxJobs + 2> keys_{};
  std::array<std::uint32_t, MaxJobs + 2> start_{};  // row k spans start_[k] to start_[k + 1]
  std::int32_t kept_ = 0;  // rows 1 to kept_ hold this or the previous block's rows
  std::array<char, MaxJobs * MaxRowText + 64> text_{};
  std::unique_ptr<CachedRow[]> cache_;
};

}  // namespace ordplan
