// The evaluation of one order of the jobs and its report block.
#pragma once

#include <array>
#include <cstdint>
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

// The text of each row of the last block written, by position. A row's text depends only on
// its job and its completion time, so a row whose job and completion equal those of the same
// position in the previous block is copied rather than formatted again: in the order of the
// search, most rows of a block repeat the previous block's. The label, processing time, due
// date and critical ratio of a job are formatted once per run.
class RowTexts {
 public:
  // The row of `job` at `position` (without its line end), its computed fields filled in.
  std::string_view Row(OutputTextFile& report, std::int32_t position, const Job& job);

 private:
  struct JobKey {
    char16_t Label;
    std::int32_t ProcessingTime;
    std::int32_t DueDate;
    std::uint64_t CriticalRatioBits;
    bool operator==(const JobKey&) const = default;
  };
  static constexpr std::size_t MaxRowText = 192;
  struct CachedRow {
    JobKey Key{};
    std::int64_t Completion = 0;
    std::size_t Length = 0;  // 0: empty
    char Text[MaxRowText];
  };
  struct JobPart {
    JobKey Key{};
    std::size_t Length = 0;
    char Text[MaxRowText];
  };
  const JobPart& Part(OutputTextFile& report, const JobKey& key, const Job& job);

  std::array<CachedRow, MaxJobs + 1> rows_{};
  std::array<JobPart, MaxJobs + 1> parts_{};
  std::size_t partCount_ = 0;
};

}  // namespace ordplan
