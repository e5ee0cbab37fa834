#include "search.h"

#include "evaluation.h"
#include "run.h"

namespace ordplan {

using namespace std::string_view_literals;

void CopyAllBut(std::int32_t count, std::int32_t skip, const JobList& source,
                JobList& destination) {
  std::int32_t k = 1;
  for (std::int32_t j = 1; j <= count; ++j) {
    if (j != skip) {
      destination[k] = source[j];
      ++k;
    }
  }
}

namespace {

// The levels that place a position: each of the jobs still to be placed is tried at
// `position` in turn, the others being placed by the next level. Kept apart from
// SearchPermutations, which is small enough to be inlined here, so that handing a complete order
// on costs one call.
[[gnu::noinline]] void PlacePosition(RunState& run, std::int32_t position, std::int32_t remaining,
                                     const JobList& source, JobList& permutation,
                                     std::int32_t& counter, const std::int32_t& count) {
  JobList rest;  // the jobs left after this level's choice; filled before it is read
  // The first choice keeps what the outer levels left unmoved; each later one moves the
  // jobs from `position` on.
  const std::int32_t unmovedOnEntry = run.UnmovedJobs;
  for (std::int32_t i = 1; i <= remaining; ++i) {
    permutation[position] = source[i];
    CopyAllBut(remaining, i, source, rest);
    run.UnmovedJobs = i == 1 ? unmovedOnEntry : position - 1;
    SearchPermutations(run, position + 1, remaining - 1, rest, permutation, counter, count);
  }
}

}  // namespace

void SearchPermutations(RunState& run, std::int32_t position, std::int32_t remaining,
                        const JobList& source, JobList& permutation, std::int32_t& counter,
                        const std::int32_t& count) {
  if (remaining == 0) {
    ReportSequence(run, u"P"sv, permutation, counter, count);
    return;
  }
  if (remaining < 0) return;
  PlacePosition(run, position, remaining, source, permutation, counter, count);
}

}  // namespace ordplan
