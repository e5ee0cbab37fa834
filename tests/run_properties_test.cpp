#include "run_properties.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace ordplan {
namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  const std::string text = content.str();
  return std::vector<std::uint8_t>(text.begin(), text.end());
}

// Every input the fuzzer found a fault with, and every seed, still keeps every property.
TEST(FuzzInputs, RegressionsAndSeedsKeepEveryProperty) {
  std::size_t replayed = 0;
  for (const char* directory : {"regressions", "corpus"}) {
    if (!fs::exists(fs::path(ORDPLAN_FUZZ_DIR) / directory)) continue;  // no regressions yet
    for (const fs::directory_entry& entry :
         fs::directory_iterator(fs::path(ORDPLAN_FUZZ_DIR) / directory)) {
      SCOPED_TRACE(entry.path().string());
      const std::optional<std::string> problem = CheckFuzzInput(ReadBytes(entry.path()));
      if (problem) {
        EXPECT_EQ(*problem, "");
        ++replayed;
      }
    }
  }
  EXPECT_GT(replayed, 0u);
}

TEST(FuzzInputs, ControlByteChoosesTheInjectedFailures) {
  struct Case {
    std::vector<std::uint8_t> data;
    std::optional<std::size_t> writeFailsAfter;
    int writeError, createError, openError;
    bool inputExists;
    std::string input;
  };
  const Case cases[] = {
      {{}, std::nullopt, 28, 0, 0, true, ""},
      {{0x00, '1', '\n'}, std::nullopt, 28, 0, 0, true, "1\n"},
      {{0x01, 0x80, 0x01, 0x00, '2'}, 384, 28, 0, 0, true, "2"},
      {{0x07, 0x01}, 1, 4, 0, 0, true, ""},
      {{0x18, 'x'}, std::nullopt, 28, 5, 0, true, "x"},
      {{0x20}, std::nullopt, 28, 11, 0, true, ""},
      {{0x28}, std::nullopt, 28, 0, 5, true, ""},
      {{0x30}, std::nullopt, 28, 0, 4, true, ""},
      {{0x3B, 0, 0, 0, '1'}, 0, 27, 0, 0, false, "1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.data.empty() ? -1 : c.data[0]);
    const FuzzCase fuzzCase = DecodeFuzzInput(c.data);
    EXPECT_EQ(fuzzCase.WriteFailsAfter, c.writeFailsAfter);
    if (c.writeFailsAfter) {
      EXPECT_EQ(fuzzCase.WriteError, c.writeError);
    }
    EXPECT_EQ(fuzzCase.CreateError, c.createError);
    EXPECT_EQ(fuzzCase.OpenError, c.openError);
    EXPECT_EQ(fuzzCase.InputExists, c.inputExists);
    EXPECT_EQ(fuzzCase.Input, c.input);
  }
}

// The checker itself: outcomes that break a property are caught.
TEST(FuzzInputs, BrokenOutcomesAreCaught) {
  FuzzCase threeJobs;
  threeJobs.Input = "3\r\nA 3 4\r\nB 2 3\r\nC 4 12\r\n";
  const RunOutcome good = RunInMemory(threeJobs);
  ASSERT_TRUE(good.Succeeded);
  ASSERT_EQ(CheckOutcome(threeJobs, good, nullptr), "");

  FuzzCase zeroTime;
  zeroTime.Input = "1\r\nA 0 5\r\n";
  const RunOutcome failed = RunInMemory(zeroTime);
  ASSERT_EQ(failed.Kind, "EZeroDivide");
  ASSERT_EQ(CheckOutcome(zeroTime, failed, nullptr), "");

  FuzzCase full = threeJobs;
  full.WriteFailsAfter = 200;
  const RunOutcome cut = RunInMemory(full);
  ASSERT_TRUE(cut.WriteFailed);
  ASSERT_EQ(CheckOutcome(full, cut, &good), "");

  struct Case {
    const char* name;
    const FuzzCase& fuzzCase;
    RunOutcome outcome;
    const RunOutcome* reference;
  };
  RunOutcome noGivenOrder = good, lastBlockMissing = good, noSummary = good,
             wrongPermutation = good, partBlock = failed, message = failed, text = failed,
             kind = failed, wrongCut = cut, createdAnyway = good;
  noGivenOrder.Report.erase(0, noGivenOrder.Report.find("P[1]:"));
  lastBlockMissing.Report.replace(lastBlockMissing.Report.find("P[6]:"), 5, "P[5]:");
  noSummary.Report.resize(noSummary.Report.rfind(" Min. zpozdeni:"));
  wrongPermutation.Report.replace(wrongPermutation.Report.rfind(" pro 3."), 7, " pro 7.");
  partBlock.Report = std::string(200, 'x');
  message.Message = "Division by zero";
  text.FailureText.replace(text.FailureText.find(" at ") + 4, 1, "g");
  kind.Kind = "EOverflow";
  wrongCut.Report.back() ^= 1;
  FuzzCase createFails = threeJobs;
  createFails.CreateError = 5;
  const Case cases[] = {
      {"no block of the given order", threeJobs, noGivenOrder, nullptr},
      {"no block of the last permutation", threeJobs, lastBlockMissing, nullptr},
      {"no summary lines", threeJobs, noSummary, nullptr},
      {"a permutation beyond 3!", threeJobs, wrongPermutation, nullptr},
      {"part of a block after a failure", zeroTime, partBlock, nullptr},
      {"another message", zeroTime, message, nullptr},
      {"malformed location", zeroTime, text, nullptr},
      {"unknown kind", zeroTime, kind, nullptr},
      {"stored bytes that differ", full, wrongCut, &good},
      {"a run whose report could not be created", createFails, createdAnyway, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_NE(CheckOutcome(c.fuzzCase, c.outcome, c.reference), "");
  }
}

}  // namespace
}  // namespace ordplan
