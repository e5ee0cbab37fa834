#include "search.h"

#include <gtest/gtest.h>

#include "code_page.h"
#include "memory_file_system.h"
#include "run.h"

namespace ordplan {
namespace {

JobList Labelled(const std::u16string& labels) {
  JobList list{};
  for (std::size_t i = 0; i < labels.size(); ++i) {
    Job& job = list[static_cast<std::int32_t>(i) + 1];
    job.Label = labels[i];
    job.ProcessingTime = static_cast<std::int32_t>(i) + 1;
    job.DueDate = 10;
    job.CriticalRatio = 10.0 / job.ProcessingTime;
  }
  return list;
}

std::u16string Labels(const JobList& list, std::int32_t count) {
  std::u16string labels;
  for (std::int32_t k = 1; k <= count; ++k) labels += list[k].Label;
  return labels;
}

TEST(CopyAllBut, LeavesOutOnePositionKeepingTheOrder) {
  struct Case {
    std::int32_t count, skip;
    std::u16string destination;
  };
  for (const Case& c : {Case{4, 2, u"ACDZ"}, Case{4, 1, u"BCDZ"}, Case{4, 4, u"ABCZ"},
                        Case{0, 1, u"WXYZ"}, Case{-2, 1, u"WXYZ"}, Case{1, 1, u"WXYZ"}}) {
    SCOPED_TRACE(c.skip);
    JobList destination = Labelled(u"WXYZ");
    CopyAllBut(c.count, c.skip, Labelled(u"ABCD"), destination);
    EXPECT_EQ(Labels(destination, 4), c.destination);
  }
}

// Runs the search over `labels` and returns the orders it evaluated, from the report.
struct Search {
  MemoryFileSystem files;
  RunState run{files, Windows1250()};

  std::vector<std::string> Orders(const std::u16string& labels, std::int32_t remaining) {
    run.ReportFile.Bind(u"r");
    run.ReportFile.Create();
    run.InputJobs = Labelled(labels);
    run.JobCount = static_cast<std::int32_t>(labels.size());
    run.SequenceNumber = 1;
    run.BestMeanTardiness = run.BestRmsTardiness = InitialBest;
    SearchPermutations(run, 1, remaining, run.InputJobs, run.PermutationJobs, run.SequenceNumber,
                       run.JobCount);
    run.ReportFile.Close();
    std::vector<std::string> orders;
    const std::string& text = files.Files[u"r"];
    for (std::size_t at = text.find("P["); at != std::string::npos; at = text.find("P[", at + 1)) {
      orders.push_back(text.substr(at, text.find('\r', at) - at));
    }
    return orders;
  }
};

TEST(SearchPermutations, LexicographicOrderOfInputPositions) {
  Search s;
  EXPECT_EQ(s.Orders(u"ABC", 3), (std::vector<std::string>{"P[1]:ABC", "P[2]:ACB", "P[3]:BAC",
                                                           "P[4]:BCA", "P[5]:CAB", "P[6]:CBA"}));
  EXPECT_EQ(s.run.SequenceNumber, 7);
  EXPECT_EQ(Labels(s.run.PermutationJobs, 3), u"CBA");
  EXPECT_EQ(s.run.BestMeanSequence, 1);
}

TEST(SearchPermutations, FourJobsAndEqualLabels) {
  Search four;
  const auto orders = four.Orders(u"ABCD", 4);
  ASSERT_EQ(orders.size(), 24u);
  EXPECT_EQ(std::vector<std::string>(orders.begin(), orders.begin() + 8),
            (std::vector<std::string>{"P[1]:ABCD", "P[2]:ABDC", "P[3]:ACBD", "P[4]:ACDB",
                                      "P[5]:ADBC", "P[6]:ADCB", "P[7]:BACD", "P[8]:BADC"}));
  Search same;
  EXPECT_EQ(same.Orders(u"AA", 2), (std::vector<std::string>{"P[1]:AA", "P[2]:AA"}));
}

TEST(SearchPermutations, BlockCountsAreFactorials) {
  std::int32_t factorial = 1;
  for (std::int32_t n = 1; n <= 7; ++n) {
    factorial *= n;
    Search s;
    EXPECT_EQ(s.Orders(std::u16string(u"ABCDEFG").substr(0, n), n).size(),
              static_cast<std::size_t>(factorial));
    EXPECT_EQ(s.run.SequenceNumber, factorial + 1);
  }
}

TEST(SearchPermutations, NegativeRemainingWritesNothing) {
  Search s;
  EXPECT_TRUE(s.Orders(u"AB", -1).empty());
  EXPECT_EQ(s.run.SequenceNumber, 1);
}

TEST(SearchPermutations, NoJobsGoesStraightToAnEvaluationThatFails) {
  Search s;
  EXPECT_THROW(s.Orders(u"", 0), RunFailure);
  EXPECT_EQ(s.run.SequenceNumber, 2);
}

}  // namespace
}  // namespace ordplan
