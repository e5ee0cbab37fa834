// The driver of a run and the run's state.
#pragma once

#include <cstdint>

#include "evaluation.h"
#include "failure.h"
#include "job_list.h"
#include "output_text_file.h"
#include "platform.h"

namespace ordplan {

// The best value that every order must beat to count: both best values start here.
inline constexpr double InitialBest = 30000.0;

// Everything a run keeps. All of it is zero when the run starts.
struct RunState {
  RunState(FileSystem& files, const CodePage& codePage)
      : ReportFile(files, codePage, PendingIo), InputFile(files, codePage, PendingIo) {}

  PendingIoResult PendingIo;
  OutputTextFile ReportFile;
  std::int32_t JobCount = 0;
  std::int32_t GivenOrderCounter = 0;  // numbers the block of the given order with JobCount
  std::int32_t SequenceNumber = 0;     // the number of the next permutation block
  std::int32_t BestMeanSequence = 0;   // 0: no permutation has beaten InitialBest
  std::int32_t BestRmsSequence = 0;
  double BestMeanTardiness = 0;
  double BestRmsTardiness = 0;
  JobList InputJobs{};
  JobList PermutationJobs{};
  InputTextFile InputFile;
  BlockText Block;  // the text of the last block, reused where it repeats
  // Set by the search just before it hands an order on: the first UnmovedJobs jobs of
  // PermutationJobs have not been written since the previous order was evaluated, so they
  // still hold the values computed for them. ReportSequence sets it back to 0; for any other
  // list or caller it is 0.
  std::int32_t UnmovedJobs = 0;
};

// Runs ordplan in the current directory: creates (or empties) ordplan.prn, reads ordplan.txt,
// writes the block of the given order, one block for every order of the jobs and the two
// summary lines, and closes both files. A failure throws RunFailure; the report then keeps
// what the caller's RunState::ReportFile.Abandon() hands over.
void Run(RunState& run);

}  // namespace ordplan
