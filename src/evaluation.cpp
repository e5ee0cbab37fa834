#include "evaluation.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <utility>

#include "run.h"

namespace ordplan {

using namespace std::string_view_literals;

namespace {

// The double nearest to `value`; values within 64 bits convert in one instruction.
double NearestDouble(Int128 value) {
  const std::int64_t narrow = static_cast<std::int64_t>(value);
  return narrow == value ? static_cast<double>(narrow) : static_cast<double>(value);
}

// The exact square; tardiness below 2^31.5 squares within 64 bits.
Int128 Square(std::int64_t value) {
  if (value >= 0 && value <= 3037000499) return value * value;
  return Int128{value} * value;
}

}  // namespace

double MeanTardiness(double sum, std::int32_t count) {
  if (count == 0) RaiseInvalidOperation();  // 0 / 0: with no rows the sum is 0
  return static_cast<double>(static_cast<long double>(sum) / static_cast<long double>(count));
}

double RmsTardiness(double sumOfSquares, std::int32_t count) {
  if (count == 0) RaiseInvalidOperation();
  const long double quotient =
      static_cast<long double>(sumOfSquares) / static_cast<long double>(count);
  if (quotient < 0) RaiseInvalidOperation();  // the square root of a negative value
  return static_cast<double>(std::sqrt(quotient));
}

BlockText::BlockText() : rowCache_(std::make_unique<CachedRow[]>(RowCacheSize)) {}

void BlockText::StartFirstLine(OutputTextFile& report, std::u16string_view label,
                               std::int32_t number) {
  label_.assign(label);
  number_ = number;
  const std::string_view bytes = report.Encode(label).substr(0, MaxLabelText);
  char* out = text_.data();
  std::memcpy(out, bytes.data(), bytes.size());
  out += bytes.size();
  *out++ = '[';
  numberStart_ = static_cast<std::size_t>(out - text_.data());
  out += FormatInteger(std::int64_t{number}, 0, out);
  numberEnd_ = static_cast<std::size_t>(out - text_.data());
  *out++ = ']';
  *out++ = ':';
  prefixLength_ = static_cast<std::size_t>(out - text_.data());
  started_ = true;
}

bool BlockText::CountOn() {
  if (number_ < 0 || number_ == std::numeric_limits<std::int32_t>::max()) return false;
  for (std::size_t i = numberEnd_; i > numberStart_; --i) {
    char& digit = text_[i - 1];
    if (digit != '9') {
      ++digit;
      ++number_;
      return true;
    }
    digit = '0';
  }
  return false;  // all nines: the number gains a digit
}

void BlockText::SetFirstLine(OutputTextFile& report, std::u16string_view label, std::int32_t number,
                             const JobList& jobs, std::int32_t count, std::int32_t same) {
  const std::size_t oldPrefix = prefixLength_;
  bool sameLabel = started_ && label.size() == label_.size();
  for (std::size_t i = 0; sameLabel && i < label.size(); ++i) sameLabel = label[i] == label_[i];
  if (!sameLabel || (number != number_ && !(number == number_ + 1 && CountOn()))) {
    StartFirstLine(report, label, number);
  }
  // The labels of the jobs taken over are in place while the part before them keeps its
  // length.
  const std::int32_t labels = std::max(count, 0);
  std::int32_t k = 1;
  if (prefixLength_ == oldPrefix && labels == labelCount_) {
    k = same + 1;
  } else {
    labelStart_[1] = prefixLength_;
  }
  char* out = text_.data() + labelStart_[static_cast<std::size_t>(k)];
  for (; k <= labels; ++k) {
    const std::string_view bytes = report.Encode(jobs[k].Label);
    if (bytes.size() == 1) {
      *out++ = bytes[0];
    } else {
      const std::size_t size = std::min<std::size_t>(bytes.size(), 16);
      std::memcpy(out, bytes.data(), size);
      out += size;
    }
    labelStart_[static_cast<std::size_t>(k) + 1] = static_cast<std::size_t>(out - text_.data());
  }
  labelCount_ = labels;
  *out++ = '\r';
  *out++ = '\n';
  if (static_cast<std::size_t>(out - text_.data()) != headerStart_) {
    // The first line changed its length: the header line moves.
    headerStart_ = static_cast<std::size_t>(out - text_.data());
    const std::string_view header = report.Encode(ColumnHeader);
    std::memcpy(out, header.data(), header.size());
    out += header.size();
    *out++ = '\r';
    *out++ = '\n';
    headerEnd_ = static_cast<std::size_t>(out - text_.data());
  }
}

std::string_view BlockText::LastLine(OutputTextFile& report, double mean, double rms) {
  char* out = lastLine_.data();
  if (meanText_.empty()) {
    meanText_ = report.Encode(u"celkove zpozdeni:"sv);
    rmsText_ = report.Encode(u"  kva. odchylka:"sv);
    std::memcpy(out, meanText_.data(), meanText_.size());
    meanLength_ = 0;
  }
  // The texts stay in place while the mean's field keeps its length. The mean, a sum of
  // tardiness over n, repeats from block to block and its text is kept; the root-mean-square
  // seldom repeats and is formatted each time.
  out += meanText_.size();
  const std::string_view meanField = report.Fixed(mean, 8, 3);
  OutputTextFile::CopyBytes(out, meanField.data(), meanField.size());
  out += meanField.size();
  if (meanField.size() != meanLength_) {
    std::memcpy(out, rmsText_.data(), rmsText_.size());
    meanLength_ = meanField.size();
  }
  out += rmsText_.size();
  out += FormatFixed(rms, 8, 3, out);
  out[0] = '\r';
  out[1] = '\n';
  out += 2;
  return std::string_view(lastLine_.data(), static_cast<std::size_t>(out - lastLine_.data()));
}

BlockText::RowKey BlockText::KeyOf(const Job& job) {
  return RowKey{job.Completion, job.ProcessingTime, job.DueDate, job.Label};
}

std::size_t BlockText::FormatRow(OutputTextFile& report, const Job& job, char* out) {
  char* end = out;
  end += report.RenderChar(job.Label, 3, end);
  end += FormatInteger(std::int64_t{job.ProcessingTime}, 10, end);
  end += FormatInteger(std::int64_t{job.DueDate}, 10, end);
  end += FormatFixed(job.CriticalRatio, 10, 3, end);
  end += FormatInteger(job.Completion, 10, end);
  end += FormatInteger(job.Tardiness, 10, end);
  end += FormatInteger(job.SquaredTardiness, 10, end);
  return static_cast<std::size_t>(end - out);
}

std::int32_t BlockText::TakeOverRows(const JobList& jobs, std::int32_t count, std::int32_t unmoved,
                                     std::int64_t& completion, double& sumTardiness,
                                     double& sumSquaredTardiness) {
  std::int32_t k = 0;
  if (&jobs == keptList_ && count == keptCount_) k = std::clamp(unmoved, 0, keptRows_);
  keptList_ = &jobs;
  keptCount_ = count;
  if (k > 0) {
    const KeptRow& kept = rows_[static_cast<std::size_t>(k)];
    completion = kept.Completion;
    sumTardiness = kept.SumTardiness;
    sumSquaredTardiness = kept.SumSquaredTardiness;
  }
  keptRows_ = k;  // the rows after them are set anew
  return k;
}

void BlockText::SetRow(OutputTextFile& report, std::int32_t position, const Job& job,
                       double sumTardiness, double sumSquaredTardiness) {
  const RowKey key = KeyOf(job);
  const std::size_t k = static_cast<std::size_t>(position);
  char* out = rowsText_.data() + rowStart_[k];
  const std::uint64_t hash =
      (static_cast<std::uint64_t>(job.Completion) * 0x9E3779B97F4A7C15u) ^
      (static_cast<std::uint64_t>(static_cast<std::uint32_t>(job.ProcessingTime)) << 20) ^
      static_cast<std::uint64_t>(static_cast<std::uint32_t>(job.DueDate)) ^ job.Label;
  CachedRow& cached = rowCache_[(hash ^ (hash >> 29)) & (RowCacheSize - 1)];
  std::size_t length;
  if (cached.Length != 0 && cached.Key == key) [[likely]] {
    length = cached.Length;
    std::memcpy(out, cached.Text, MaxCachedRow);
  } else {
    length = FormatRowInto(report, job, cached, out);
  }
  out[length] = '\r';
  out[length + 1] = '\n';
  rows_[k] = KeptRow{job.Completion, sumTardiness, sumSquaredTardiness};
  rowStart_[k + 1] = static_cast<std::uint32_t>(rowStart_[k] + length + 2);
  keptRows_ = position;
}

std::size_t BlockText::FormatRowInto(OutputTextFile& report, const Job& job, CachedRow& cached,
                                     char* out) {
  char row[MaxRowText + 64];
  const std::size_t length = FormatRow(report, job, row);
  std::memcpy(out, row, length);
  if (length <= MaxCachedRow) {
    cached.Key = KeyOf(job);
    cached.Length = static_cast<std::uint8_t>(length);
    std::memcpy(cached.Text, row, length);
  }
  return length;
}

void ReportSequence(RunState& run, std::u16string_view label, JobList& jobs, std::int32_t& counter,
                    const std::int32_t& count) {
  OutputTextFile& report = run.ReportFile;
  PendingIoResult& pending = run.PendingIo;
  const std::int32_t n = count;

  // Lines 1 to n + 2 are built on the previous block's text (BlockText) and go to the report
  // once the rows are known. Nothing reaches the file in between, so one check after them
  // raises a failure where checks after each of their lines would. The search tells how many
  // of the first jobs it left where they stood in the previous block (RunState::UnmovedJobs):
  // BlockText takes over their labels and rows, their values are still in place, and the
  // evaluation goes on from the first job that moved.
  std::int64_t completion = 0;
  double sumTardiness = 0;
  double sumSquaredTardiness = 0;
  const std::int32_t unmoved = std::exchange(run.UnmovedJobs, 0);
  const std::int32_t same =
      run.Block.TakeOverRows(jobs, n, unmoved, completion, sumTardiness, sumSquaredTardiness);
  run.Block.SetFirstLine(report, label, counter, jobs, n, same);
  const std::int32_t sequence = counter;
  ++counter;

  for (std::int32_t k = same + 1; k <= n; ++k) {
    Job& job = jobs[k];
    completion += job.ProcessingTime;
    job.Completion = completion;
    job.Tardiness = job.Completion > job.DueDate ? job.Completion - job.DueDate : 0;
    job.SquaredTardiness = Square(job.Tardiness);
    sumTardiness += static_cast<double>(job.Tardiness);
    sumSquaredTardiness += NearestDouble(job.SquaredTardiness);
    run.Block.SetRow(report, k, job, sumTardiness, sumSquaredTardiness);
  }
  report.WriteBytes(run.Block.FirstLines());
  report.WriteBytes(run.Block.Rows(n));
  CheckIo(pending);

  const double mean = MeanTardiness(sumTardiness, n);
  const double rms = RmsTardiness(sumSquaredTardiness, n);
  if (!(mean >= run.BestMeanTardiness)) {
    run.BestMeanTardiness = mean;
    run.BestMeanSequence = sequence;
  }
  if (!(rms >= run.BestRmsTardiness)) {
    run.BestRmsTardiness = rms;
    run.BestRmsSequence = sequence;
  }

  report.WriteBytes(run.Block.LastLine(report, mean, rms));
  CheckIo(pending);
}

}  // namespace ordplan
