// The libFuzzer target: runs ordplan over an in-memory file system on each input and stops at
// the first run that breaks one of the properties in run_properties.h.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "run_properties.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::optional<std::string> problem = ordplan::CheckFuzzInput(std::span(data, size));
  if (!problem) return -1;  // too many jobs to run quickly: not worth keeping in the corpus
  if (!problem->empty()) {
    std::fprintf(stderr, "property broken: %s\n", problem->c_str());
    std::abort();
  }
  return 0;
}
