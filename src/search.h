// The exhaustive search over every order of the jobs.
#pragma once

#include <cstdint>

#include "job_list.h"

namespace ordplan {

struct RunState;

// Places one position of `permutation` per level of recursion. With `remaining` 0 the order is
// complete and goes to ReportSequence with the label "P" and `counter`; a negative `remaining`
// writes nothing. Otherwise each of the jobs at positions 1 to `remaining` of `source` is
// tried at `position` in turn, the others, in the same relative order, being placed by the
// next level. So the orders come out in lexicographic order of input positions, numbered by
// `counter` from its value on entry. `source` is only read.
void SearchPermutations(RunState& run, std::int32_t position, std::int32_t remaining,
                        const JobList& source, JobList& permutation, std::int32_t& counter,
                        const std::int32_t& count);

// Copies the jobs at positions 1 to `count` of `source` other than the one at `skip` to
// positions 1 onward of `destination`, keeping their order; later positions of `destination`
// are left as they were. A count of 0 or less copies nothing.
void CopyAllBut(std::int32_t count, std::int32_t skip, const JobList& source, JobList& destination);

}  // namespace ordplan
