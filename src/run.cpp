#include "run.h"

#include "search.h"

namespace ordplan {

using namespace std::string_view_literals;

namespace {

// A summary line: `title`, the best value as a fixed-point field of width 8 with 3 decimals,
// " pro ", the number of the permutation that reached it first, ".permutaci".
void WriteSummaryLine(RunState& run, std::u16string_view title, double best,
                      std::int32_t sequence) {
  OutputTextFile& report = run.ReportFile;
  report.WriteText(title);
  report.WriteFixed(best, 8, 3);
  report.WriteText(u" pro "sv);
  report.WriteInteger(std::int64_t{sequence}, 0);
  report.WriteText(u".permutaci"sv);
  report.WriteLineEnd();
  CheckIo(run.PendingIo);
}

}  // namespace

void Run(RunState& run) {
  run.ReportFile.Bind(u"ordplan.prn");
  run.InputFile.Bind(u"ordplan.txt");
  run.ReportFile.Create();
  CheckIo(run.PendingIo);
  run.InputFile.OpenForReading();
  CheckIo(run.PendingIo);
  run.SequenceNumber = 1;
  ReadJobCount(run.InputFile, run.JobCount);  // a failure here is raised by the next check
  ReadJobs(run.InputFile, run.PendingIo, run.JobCount, run.InputJobs);

  run.GivenOrderCounter = run.JobCount;
  ReportSequence(run, u"Zadany vektor"sv, run.InputJobs, run.GivenOrderCounter, run.JobCount);

  // The given order never counts in the summary.
  run.BestMeanSequence = 0;
  run.BestMeanTardiness = InitialBest;
  run.BestRmsSequence = 0;
  run.BestRmsTardiness = InitialBest;
  SearchPermutations(run, 1, run.JobCount, run.InputJobs, run.PermutationJobs, run.SequenceNumber,
                     run.JobCount);

  WriteSummaryLine(run, u" Min. zpozdeni:"sv, run.BestMeanTardiness, run.BestMeanSequence);
  WriteSummaryLine(run, u" Min. kv.zpozdeni:"sv, run.BestRmsTardiness, run.BestRmsSequence);

  run.ReportFile.Close();
  CheckIo(run.PendingIo);
  run.InputFile.Close();
  CheckIo(run.PendingIo);
}

}  // namespace ordplan
