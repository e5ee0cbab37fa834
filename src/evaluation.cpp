#include "evaluation.h"

#include <bit>
#include <cmath>

#include "run.h"

namespace ordplan {

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

const RowTexts::JobPart& RowTexts::Part(OutputTextFile& report, const JobKey& key, const Job& job) {
  for (std::size_t i = 0; i < partCount_; ++i) {
    if (parts_[i].Key == key) return parts_[i];
  }
  // More distinct jobs than a list holds only when a caller evaluates other lists: start over.
  if (partCount_ == parts_.size()) partCount_ = 0;
  JobPart& part = parts_[partCount_++];
  part.Key = key;
  char* out = part.Text;
  out += report.RenderChar(job.Label, 3, out);
  out += FormatInteger(std::int64_t{job.ProcessingTime}, 10, out);
  out += FormatInteger(std::int64_t{job.DueDate}, 10, out);
  out += FormatFixed(job.CriticalRatio, 10, 3, out);
  part.Length = static_cast<std::size_t>(out - part.Text);
  return part;
}

std::string_view RowTexts::Row(OutputTextFile& report, std::int32_t position, const Job& job) {
  const JobKey key{job.Label, job.ProcessingTime, job.DueDate,
                   std::bit_cast<std::uint64_t>(job.CriticalRatio)};
  CachedRow& row = rows_[static_cast<std::size_t>(position)];
  if (row.Length == 0 || row.Completion != job.Completion || !(row.Key == key)) {
    const JobPart& part = Part(report, key, job);
    char* out = row.Text;
    std::memcpy(out, part.Text, part.Length);
    out += part.Length;
    out += FormatInteger(job.Completion, 10, out);
    out += FormatInteger(job.Tardiness, 10, out);
    out += FormatInteger(job.SquaredTardiness, 10, out);
    row.Key = key;
    row.Completion = job.Completion;
    row.Length = static_cast<std::size_t>(out - row.Text);
  }
  return std::string_view(row.Text, row.Length);
}

void ReportSequence(RunState& run, std::u16string_view label, JobList& jobs, std::int32_t& counter,
                    const std::int32_t& count) {
  OutputTextFile& report = run.ReportFile;
  PendingIoResult& pending = run.PendingIo;
  const std::int32_t n = count;

  report.WriteText(label);
  report.WriteText(u"[");
  report.WriteInteger(std::int64_t{counter}, 0);
  report.WriteText(u"]:");
  CheckIo(pending);
  const std::int32_t sequence = counter;
  ++counter;
  for (std::int32_t k = 1; k <= n; ++k) {
    report.WriteChar(jobs[k].Label, 0);
    CheckIo(pending);
  }
  report.WriteLineEnd();
  CheckIo(pending);

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
    sumSquaredTardiness += static_cast<double>(job.SquaredTardiness);
    report.WriteBytes(run.Rows.Row(report, k, job));
    report.WriteLineEnd();
    CheckIo(pending);
  }

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

  report.WriteText(u"celkove zpozdeni:");
  report.WriteFixed(mean, 8, 3);
  report.WriteText(u"  kva. odchylka:");
  report.WriteFixed(rms, 8, 3);
  report.WriteLineEnd();
  CheckIo(pending);
}

}  // namespace ordplan
