#include "evaluation.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

#include "run.h"

namespace ordplan {

using namespace std::string_view_literals;

namespace {

// The double nearest to `value`; values within 64 bits convert in one instruction.
double NearestDouble(Int128 value) {
  if (value >= std::numeric_limits<std::int64_t>::min() &&
      value <= std::numeric_limits<std::int64_t>::max()) {
    return static_cast<double>(static_cast<std::int64_t>(value));
  }
  return static_cast<double>(value);
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

void BlockFirstLine::Start(OutputTextFile& report, std::u16string_view label, std::int32_t number) {
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

bool BlockFirstLine::CountOn() {
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

std::string_view BlockFirstLine::Text(OutputTextFile& report, std::u16string_view label,
                                      std::int32_t number, const JobList& jobs,
                                      std::int32_t count) {
  if (!started_ || label != label_ ||
      (number != number_ && !(number == number_ + 1 && CountOn()))) {
    Start(report, label, number);
  }
  char* out = text_.data() + prefixLength_;
  for (std::int32_t k = 1; k <= count; ++k) {
    const std::string_view bytes = report.Encode(jobs[k].Label);
    if (bytes.size() == 1) {
      *out++ = bytes[0];
    } else {
      const std::size_t size = std::min<std::size_t>(bytes.size(), 16);
      std::memcpy(out, bytes.data(), size);
      out += size;
    }
  }
  *out++ = '\r';
  *out++ = '\n';
  return std::string_view(text_.data(), static_cast<std::size_t>(out - text_.data()));
}

BlockRows::BlockRows() : cache_(std::make_unique<CachedRow[]>(CacheSize)) { start_[1] = 0; }

BlockRows::Key BlockRows::KeyOf(const Job& job) {
  return Key{job.Completion, job.ProcessingTime, job.DueDate,
             std::bit_cast<std::uint64_t>(job.CriticalRatio), job.Label};
}

std::size_t BlockRows::Format(OutputTextFile& report, const Job& job, char* out) {
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

void BlockRows::SetAnew(OutputTextFile& report, std::int32_t position, const Job& job) {
  // This row and every row after it are written anew.
  const Key key = KeyOf(job);
  const std::size_t k = static_cast<std::size_t>(position);
  char* out = text_.data() + start_[k];
  const std::uint64_t hash =
      (static_cast<std::uint64_t>(job.Completion) * 0x9E3779B97F4A7C15u) ^
      (static_cast<std::uint64_t>(static_cast<std::uint32_t>(job.ProcessingTime)) << 20) ^
      static_cast<std::uint64_t>(static_cast<std::uint32_t>(job.DueDate)) ^ job.Label;
  CachedRow& cached = cache_[(hash ^ (hash >> 29)) & (CacheSize - 1)];
  std::size_t length;
  if (cached.Length != 0 && cached.RowKey == key) {
    length = cached.Length;
    std::memcpy(out, cached.Text, MaxCachedRow);
  } else {
    char row[MaxRowText + 64];
    length = Format(report, job, row);
    std::memcpy(out, row, length);
    if (length <= MaxCachedRow) {
      cached.RowKey = key;
      cached.Length = static_cast<std::uint8_t>(length);
      std::memcpy(cached.Text, row, length);
    }
  }
  out[length] = '\r';
  out[length + 1] = '\n';
  keys_[k] = key;
  start_[k + 1] = static_cast<std::uint32_t>(start_[k] + length + 2);
  kept_ = position;
}

void ReportSequence(RunState& run, std::u16string_view label, JobList& jobs, std::int32_t& counter,
                    const std::int32_t& count) {
  OutputTextFile& report = run.ReportFile;
  PendingIoResult& pending = run.PendingIo;
  const std::int32_t n = count;

  // Each line goes to the report as one piece: BlockFirstLine and BlockRows build it on the
  // previous block's text. Nothing reaches the file within a piece, so one check after it
  // raises a failure where checks after each of its fields would.
  report.WriteBytes(run.FirstLine.Text(report, label, counter, jobs, n));
  CheckIo(pending);
  const std::int32_t sequence = counter;
  ++counter;

  std::int64_t completion = 0;
  double sumTardiness = 0;
  double sumSquaredTardiness = 0;
  report.WriteText(ColumnHeader);
  report.WriteLineEnd();
  CheckIo(pending);

  for (std::int32_t k = 1; k <= n; ++k) {
    Job& job = jobs[k];
    completion += job.ProcessingTime;
    job.Completion = completion;
    job.Tardiness = job.Completion > job.DueDate ? job.Completion - job.DueDate : 0;
    job.SquaredTardiness = Int128{job.Tardiness} * job.Tardiness;
    sumTardiness += static_cast<double>(job.Tardiness);
    sumSquaredTardiness += NearestDouble(job.SquaredTardiness);
    run.Rows.Set(report, k, job);
  }
  report.WriteBytes(run.Rows.Text(n));
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

  report.WriteText(u"celkove zpozdeni:"sv);
  report.WriteFixed(mean, 8, 3);
  report.WriteText(u"  kva. odchylka:"sv);
  report.WriteFixed(rms, 8, 3);
  report.WriteLineEnd();
  CheckIo(pending);
}

}  // namespace ordplan
