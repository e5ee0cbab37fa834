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
// strictly smaller. A check follows each piece of text written: lines 1 to n + 2, then the
// last line. No jobs (count 0) is an invalid operation after the column header line.
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

// The text of lines 1 to n + 2 of a block (the first line, the column header line and the
// rows, each with its line end), built on the previous block's text.
//
// In the order of the search consecutive blocks differ little: the number counts on by one,
// and the labels and rows stay the same up to the first position the search moved a job to
// (RunState::UnmovedJobs). Only what changed is written anew. A row's text depends only on
// its job and the job's completion time, so a changed row has mostly been formatted before,
// in another block, and is copied from a cache of rows.
class BlockText {
 public:
  BlockText();

  // Sets the first line: the label, "[", the block's number, "]:" and the labels of the
  // first `count` jobs, of which the first `same` were taken over (TakeOverRows).
  void SetFirstLine(OutputTextFile& report, std::u16string_view label, std::int32_t number,
                    const JobList& jobs, std::int32_t count, std::int32_t same);

  // Takes over the rows of the previous block for the first `unmoved` jobs of `jobs`, which
  // have not been written since that block was evaluated from the same list with the same
  // count: they finish at the same times and still hold the values computed for them, so
  // their rows are the same. Sets `completion` and the two sums to their values after the last
  // of them, and returns how many there are (0 for another list or count).
  std::int32_t TakeOverRows(const JobList& jobs, std::int32_t count, std::int32_t unmoved,
                            std::int64_t& completion, double& sumTardiness,
                            double& sumSquaredTardiness);

  // Sets row `position` for `job`, whose computed fields are filled in, with the two sums up
  // to and including it. After the rows taken over, the rows of a block are set in order.
  void SetRow(OutputTextFile& report, std::int32_t position, const Job& job, double sumTardiness,
              double sumSquaredTardiness);

  // The last line of a block, with its line end: "celkove zpozdeni:", the mean as a
  // fixed-point field of width 8 with 3 decimals, "  kva. odchylka:", the root-mean-square
  // likewise.
  std::string_view LastLine(OutputTextFile& report, double mean, double rms);

  // Lines 1 and 2 as set for this block: the first line and the column header line.
  std::string_view FirstLines() const { return std::string_view(text_.data(), headerEnd_); }

  // Rows 1 to `count` as set for this block.
  std::string_view Rows(std::int32_t count) const {
    return std::string_view(rowsText_.data(),
                            count > 0 ? rowStart_[static_cast<std::size_t>(count) + 1] : 0);
  }

 private:
  // A row's text depends only on these: the critical ratio follows from the two times.
  struct RowKey {
    std::int64_t Completion;
    std::int32_t ProcessingTime;
    std::int32_t DueDate;
    char16_t Label;
    bool operator==(const RowKey&) const = default;
  };
  static RowKey KeyOf(const Job& job);
  // Writes the part of the first line up to and including "]:".
  void StartFirstLine(OutputTextFile& report, std::u16string_view label, std::int32_t number);
  // Adds one to the number in place; false when that needs another digit.
  bool CountOn();
  // Writes the row of `job` at `out` (room for MaxRowText plus scratch); returns its length.
  static std::size_t FormatRow(OutputTextFile& report, const Job& job, char* out);
  struct CachedRow;
  // Formats the row of `job` to `out` and keeps it in `cached`; returns its length.
  [[gnu::noinline]] static std::size_t FormatRowInto(OutputTextFile& report, const Job& job,
                                                     CachedRow& cached, char* out);

  // Longest texts: a label written as more than MaxLabelText bytes is cut (the program's
  // labels are "Zadany vektor" and "P"); a row holds a label of up to 13 bytes, two 32-bit
  // integers, a critical ratio, two 64-bit and one 128-bit integer, and its line end.
  static constexpr std::size_t MaxLabelText = 64;
  static constexpr std::size_t MaxFirstLine = MaxLabelText + 16 + MaxJobs * 16 + 2;
  static constexpr std::size_t MaxRowText = 16 + 2 * 11 + 16 + 2 * 20 + 40 + 2;

  // The first line.
  std::u16string label_;
  std::int32_t number_ = 0;
  bool started_ = false;
  std::size_t numberStart_ = 0;  // the digits of the number
  std::size_t numberEnd_ = 0;
  std::size_t prefixLength_ = 0;  // up to and including "]:"
  std::size_t headerStart_ = 0;   // where the column header line starts
  std::size_t headerEnd_ = 0;
  std::array<std::size_t, MaxJobs + 2> labelStart_{};  // label k starts at labelStart_[k]
  std::int32_t labelCount_ = -1;

  // The rows: row k spans rowStart_[k] to rowStart_[k + 1]; rows 1 to keptRows_ hold this or
  // the previous block's rows, of the list keptList_ with keptCount_ jobs, with the completion
  // time and the sums after each.
  struct KeptRow {
    std::int64_t Completion;
    double SumTardiness;
    double SumSquaredTardiness;
  };
  std::array<KeptRow, MaxJobs + 2> rows_{};
  std::array<std::uint32_t, MaxJobs + 2> rowStart_{};
  std::int32_t keptRows_ = 0;
  const JobList* keptList_ = nullptr;
  std::int32_t keptCount_ = 0;

  std::array<char, MaxFirstLine + 128> text_{};
  std::array<char, MaxJobs * MaxRowText + 64> rowsText_{};

  // The last line: its two texts in the code page, then room for the two fields.
  std::string meanText_;
  std::string rmsText_;
  std::size_t meanLength_ = 0;  // the length of the mean's field in lastLine_
  std::array<char, 2 * MaxFieldText + 128> lastLine_;

  // Rows formatted before, by job and completion.
  static constexpr std::size_t MaxCachedRow = 94;
  struct CachedRow {
    RowKey Key;
    std::uint8_t Length;  // 0: empty
    char Text[MaxCachedRow];
  };
  // A power of two. The caches stay small: the write of each batch reads it from the
  // processor's cache, which larger caches would crowd out.
  static constexpr std::size_t RowCacheSize = 2048;
  std::unique_ptr<CachedRow[]> rowCache_;
};

}  // namespace ordplan
