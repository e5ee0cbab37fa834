#include "evaluation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

#include "code_page.h"
#include "memory_file_system.h"
#include "run.h"

namespace ordplan {
namespace {

const std::string Header =
    "Uloha  \tCelk. cas  Termin    CR   Dokoncen\xED  Zpozdeni   Kv.zpoz.\r\n";

struct Evaluation {
  MemoryFileSystem files;
  RunState run{files, Windows1250()};
  JobList jobs{};

  Evaluation(std::initializer_list<Job> given) {
    std::int32_t position = 1;
    for (Job job : given) {
      job.CriticalRatio = static_cast<double>(job.DueDate) / job.ProcessingTime;
      jobs[position++] = job;
    }
    run.ReportFile.Bind(u"ordplan.prn");
    run.ReportFile.Create();
    run.BestMeanTardiness = run.BestRmsTardiness = InitialBest;
  }
  // Evaluates the first `count` jobs; returns the failure's message, "" for none.
  std::string Report(std::u16string_view label, std::int32_t& counter, std::int32_t count) {
    try {
      ReportSequence(run, label, jobs, counter, count);
      return "";
    } catch (const RunFailure& failure) {
      return failure.Message();
    }
  }
  std::string Text() {
    run.ReportFile.Close();
    return files.Files[u"ordplan.prn"];
  }
};

Job MakeJob(char16_t label, std::int32_t processingTime, std::int32_t dueDate) {
  Job job{};
  job.Label = label;
  job.ProcessingTime = processingTime;
  job.DueDate = dueDate;
  return job;
}

TEST(ReportSequence, BlockOfTheGivenOrder) {
  Evaluation e{MakeJob(u'A', 3, 4), MakeJob(u'B', 2, 3), MakeJob(u'C', 4, 12)};
  std::int32_t counter = 3;
  EXPECT_EQ(e.Report(u"Zadany vektor", counter, 3), "");
  EXPECT_EQ(counter, 4);
  EXPECT_EQ(e.Text(), "Zadany vektor[3]:ABC\r\n" + Header +
                          "  A         3         4     1.333         3         0         0\r\n"
                          "  B         2         3     1.500         5         2         4\r\n"
                          "  C         4        12     3.000         9         0         0\r\n"
                          "celkove zpozdeni:   0.667  kva. odchylka:   1.155\r\n");
  EXPECT_EQ(e.jobs[2].Completion, 5);
  EXPECT_EQ(e.jobs[2].Tardiness, 2);
  EXPECT_EQ(e.jobs[2].SquaredTardiness, 4);
  EXPECT_EQ(e.run.BestMeanTardiness, 2.0 / 3);
  EXPECT_EQ(e.run.BestRmsTardiness, std::sqrt(4.0 / 3));
  EXPECT_EQ(e.run.BestMeanSequence, 3);
  EXPECT_EQ(e.run.BestRmsSequence, 3);
}

TEST(ReportSequence, BestValuesKeepTheFirstOfEqualOnes) {
  struct Case {
    double bestMean, bestRms;
    std::int32_t expectedMeanSequence, expectedRmsSequence;
  };
  // Jobs whose order has mean 2/3 and RMS sqrt(4/3).
  const double mean = 2.0 / 3, rms = std::sqrt(4.0 / 3);
  for (const Case c : {Case{InitialBest, InitialBest, 1, 1}, Case{mean, InitialBest, 9, 1},
                       Case{InitialBest, rms, 1, 9}, Case{mean, rms, 9, 9},
                       Case{std::nextafter(mean, 1.0), std::nextafter(rms, 0.0), 1, 9}}) {
    Evaluation e{MakeJob(u'A', 3, 4), MakeJob(u'B', 2, 3), MakeJob(u'C', 4, 12)};
    e.run.BestMeanTardiness = c.bestMean;
    e.run.BestRmsTardiness = c.bestRms;
    e.run.BestMeanSequence = e.run.BestRmsSequence = 9;
    std::int32_t counter = 1;
    EXPECT_EQ(e.Report(u"P", counter, 3), "");
    EXPECT_EQ(e.run.BestMeanSequence, c.expectedMeanSequence);
    EXPECT_EQ(e.run.BestRmsSequence, c.expectedRmsSequence);
  }
}

TEST(ReportSequence, MeanOfExactlyInitialBestDoesNotCount) {
  Evaluation e{MakeJob(u'A', 30000, 0)};
  std::int32_t counter = 1;
  EXPECT_EQ(e.Report(u"P", counter, 1), "");
  EXPECT_EQ(e.run.BestMeanSequence, 0);
  EXPECT_EQ(e.run.BestRmsSequence, 0);
  EXPECT_EQ(e.run.BestMeanTardiness, InitialBest);
}

TEST(ReportSequence, NoJobsIsAnInvalidOperationAfterTheHeader) {
  Evaluation e{};
  std::int32_t counter = 0;
  EXPECT_EQ(e.Report(u"Zadany vektor", counter, 0), "Invalid floating point operation");
  EXPECT_EQ(counter, 1);
  EXPECT_EQ(e.run.BestMeanTardiness, InitialBest);
  EXPECT_EQ(e.Text(), "Zadany vektor[0]:\r\n" + Header);
}

TEST(ReportSequence, NegativeCountGivesNegativeZeros) {
  Evaluation e{MakeJob(u'A', 1, 1)};
  std::int32_t counter = -3;
  EXPECT_EQ(e.Report(u"Zadany vektor", counter, -3), "");
  EXPECT_EQ(counter, -2);
  EXPECT_EQ(e.Text(), "Zadany vektor[-3]:\r\n" + Header +
                          "celkove zpozdeni:  -0.000  kva. odchylka:  -0.000\r\n");
  EXPECT_TRUE(std::signbit(e.run.BestMeanTardiness));
  EXPECT_EQ(e.run.BestMeanSequence, -3);  // -0.0 is below the starting value
}

// Values that 32-bit arithmetic would wrap are evaluated exactly.
struct WideCase {
  const char* name;
  std::vector<Job> jobs;
  std::string rows;
  std::string summary;
};

TEST(ReportSequence, WideValuesAreExact) {
  const WideCase cases[] = {
      {"tardiness 46341",
       {MakeJob(u'A', 46341, 0)},
       "  A     46341         0     0.000     46341     463412147488281\r\n",
       "celkove zpozdeni:46341.000  kva. odchylka:46341.000\r\n"},
      {"tardiness 65536",
       {MakeJob(u'A', 65536, 0)},
       "  A     65536         0     0.000     65536     655364294967296\r\n",
       "celkove zpozdeni:65536.000  kva. odchylka:65536.000\r\n"},
      {"completion past 2^31",
       {MakeJob(u'A', 2147483647, 2147483647), MakeJob(u'B', 2147483647, -2147483647 - 1)},
       "  A21474836472147483647     1.0002147483647         0         0\r\n"
       "  B2147483647-2147483648    -1.0004294967294644245094241505174140076687364\r\n",
       "celkove zpozdeni:3221225471.000  kva. odchylka:4555500748.550\r\n"},
      {"negative times",
       {MakeJob(u'A', -5, -10), MakeJob(u'B', -3, -20)},
       "  A        -5       -10     2.000        -5         5        25\r\n"
       "  B        -3       -20     6.667        -8        12       144\r\n",
       "celkove zpozdeni:   8.500  kva. odchylka:   9.192\r\n"},
  };
  for (const WideCase& c : cases) {
    SCOPED_TRACE(c.name);
    Evaluation e{};
    std::int32_t position = 1;
    for (Job job : c.jobs) {
      job.CriticalRatio = static_cast<double>(job.DueDate) / job.ProcessingTime;
      e.jobs[position++] = job;
    }
    std::int32_t counter = 1;
    EXPECT_EQ(e.Report(u"P", counter, static_cast<std::int32_t>(c.jobs.size())), "");
    std::string first = "P[1]:";
    for (const Job& job : c.jobs) first += static_cast<char>(job.Label);
    EXPECT_EQ(e.Text(), first + "\r\n" + Header + c.rows + c.summary);
  }
}

TEST(ReportSequence, SumsRoundEachTermAndEachAddition) {
  // Squares above 2^53 are rounded to doubles one by one, then added.
  Evaluation e{MakeJob(u'A', 1000000000, 0), MakeJob(u'B', 1, 0)};
  e.run.BestMeanTardiness = e.run.BestRmsTardiness = std::numeric_limits<double>::infinity();
  std::int32_t counter = 1;
  EXPECT_EQ(e.Report(u"P", counter, 2), "");
  const double sumSquares = static_cast<double>(Int128{1000000000} * 1000000000) +
                            static_cast<double>(Int128{1000000001} * 1000000001);
  EXPECT_EQ(e.run.BestRmsTardiness, RmsTardiness(sumSquares, 2));
  EXPECT_EQ(e.run.BestMeanTardiness, 1000000000.5);
}

// A second block on the same list after job 2 changed: the rows of the jobs the search says it
// left in place are taken over, everything else is evaluated again, and the note is used once.
TEST(ReportSequence, TakesOverOnlyTheJobsTheSearchLeftInPlace) {
  struct Case {
    const char* name;
    std::int32_t unmoved;  // RunState::UnmovedJobs before the second block
    bool otherList;        // the second block evaluates a copy of the list
  };
  const std::string second = "P[2]:ABC\r\n" + Header +
                             "  A         3         4     1.333         3         0         0\r\n"
                             "  B         5         3     0.600         8         5        25\r\n"
                             "  C         4        12     3.000        12         0         0\r\n"
                             "celkove zpozdeni:   1.667  kva. odchylka:   2.887\r\n";
  for (const Case c : {Case{"no note", 0, false}, Case{"job 1 left in place", 1, false},
                       Case{"note for another list", 2, true}}) {
    SCOPED_TRACE(c.name);
    Evaluation e{MakeJob(u'A', 3, 4), MakeJob(u'B', 2, 3), MakeJob(u'C', 4, 12)};
    std::int32_t counter = 1;
    ASSERT_EQ(e.Report(u"P", counter, 3), "");
    JobList copy = e.jobs;
    JobList& jobs = c.otherList ? copy : e.jobs;
    jobs[2] = MakeJob(u'B', 5, 3);
    jobs[2].CriticalRatio = 0.6;
    jobs[3].Completion = jobs[3].Tardiness = jobs[3].SquaredTardiness = -1;
    e.run.UnmovedJobs = c.unmoved;
    ReportSequence(e.run, u"P", jobs, counter, 3);
    EXPECT_EQ(e.run.UnmovedJobs, 0);
    EXPECT_EQ(jobs[3].Completion, 12);
    EXPECT_EQ(jobs[2].SquaredTardiness, 25);
    const std::string text = e.Text();
    EXPECT_EQ(text.substr(text.size() - second.size()), second);
  }
}

TEST(MeanAndRms, QuotientsWithA64BitSignificand) {
  // 115 / 2051 rounded to 64 bits and then to 53 is one unit above a double division.
  EXPECT_EQ(MeanTardiness(115, 2051), std::nextafter(115.0 / 2051.0, 1.0));
  EXPECT_EQ(MeanTardiness(2, 3), 2.0 / 3);
  EXPECT_EQ(RmsTardiness(4, 3), std::sqrt(4.0 / 3));
  EXPECT_TRUE(std::signbit(RmsTardiness(0, -2)));
  EXPECT_THROW(MeanTardiness(0, 0), RunFailure);
  EXPECT_THROW(RmsTardiness(-1, 1), RunFailure);
}

}  // namespace
}  // namespace ordplan

namespace ordplan {
namespace {

// The report of a whole run written the plain way: every field through the writer's field
// kinds, the fixed-point fields step by step, the orders enumerated with std::next_permutation
// over input positions. The program's report must equal it byte for byte.
std::string PlainReport(const std::vector<Job>& input) {
  MemoryFileSystem files;
  PendingIoResult pending;
  OutputTextFile report(files, Windows1250(), pending);
  report.Bind(u"plain");
  report.Create();
  auto fixed = [&](double value) {
    char field[MaxFieldText];
    report.WriteBytes(std::string_view(field, FormatFixedStepByStep(value, 8, 3, field)));
  };
  double bestMean = InitialBest, bestRms = InitialBest;
  std::int32_t bestMeanSequence = 0, bestRmsSequence = 0;
  auto block = [&](const char16_t* label, std::int32_t number, std::vector<Job> jobs) {
    report.WriteText(label);
    report.WriteText(u"[");
    report.WriteInteger(std::int64_t{number}, 0);
    report.WriteText(u"]:");
    for (const Job& job : jobs) report.WriteChar(job.Label, 0);
    report.WriteLineEnd();
    report.WriteText(ColumnHeader);
    report.WriteLineEnd();
    Int128 completion = 0;
    double sum = 0, sumOfSquares = 0;
    for (Job& job : jobs) {
      completion += job.ProcessingTime;
      const Int128 tardiness = completion > job.DueDate ? completion - job.DueDate : 0;
      const Int128 square = tardiness * tardiness;
      sum += static_cast<double>(tardiness);
      sumOfSquares += static_cast<double>(square);
      report.WriteChar(job.Label, 3);
      report.WriteInteger(std::int64_t{job.ProcessingTime}, 10);
      report.WriteInteger(std::int64_t{job.DueDate}, 10);
      char field[MaxFieldText];
      report.WriteBytes(
          std::string_view(field, FormatFixedStepByStep(job.CriticalRatio, 10, 3, field)));
      report.WriteInteger(completion, 10);
      report.WriteInteger(tardiness, 10);
      report.WriteInteger(square, 10);
      report.WriteLineEnd();
    }
    const long double n = static_cast<long double>(jobs.size());
    const double mean = static_cast<double>(static_cast<long double>(sum) / n);
    const double rms = static_cast<double>(std::sqrt(static_cast<long double>(sumOfSquares) / n));
    if (mean < bestMean) bestMean = mean, bestMeanSequence = number;
    if (rms < bestRms) bestRms = rms, bestRmsSequence = number;
    report.WriteText(u"celkove zpozdeni:");
    fixed(mean);
    report.WriteText(u"  kva. odchylka:");
    fixed(rms);
    report.WriteLineEnd();
  };
  block(u"Zadany vektor", static_cast<std::int32_t>(input.size()), input);
  bestMean = bestRms = InitialBest;
  bestMeanSequence = bestRmsSequence = 0;
  std::vector<std::size_t> order(input.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::int32_t number = 1;
  do {
    std::vector<Job> jobs;
    for (std::size_t i : order) jobs.push_back(input[i]);
    block(u"P", number++, jobs);
  } while (std::next_permutation(order.begin(), order.end()));
  auto summary = [&](const char16_t* title, double best, std::int32_t sequence) {
    report.WriteText(title);
    fixed(best);
    report.WriteText(u" pro ");
    report.WriteInteger(std::int64_t{sequence}, 0);
    report.WriteText(u".permutaci");
    report.WriteLineEnd();
  };
  summary(u" Min. zpozdeni:", bestMean, bestMeanSequence);
  summary(u" Min. kv.zpozdeni:", bestRms, bestRmsSequence);
  report.Close();
  return files.Files[u"plain"];
}

TEST(WholeReport, EqualsThePlainRenderingOfEveryField) {
  std::mt19937 random(20261211);
  auto time = [&]() -> std::int32_t {
    switch (random() % 8) {
      case 0:  // anything in 32 bits
        return static_cast<std::int32_t>(random());
      case 1:
        return -static_cast<std::int32_t>(random() % 100);
      case 2:
        return static_cast<std::int32_t>(random() % 100000);
      default:
        return static_cast<std::int32_t>(random() % 60);
    }
  };
  for (int run = 0; run < 300; ++run) {
    const std::size_t count = run < 250 ? 1 + random() % 5 : 6 + random() % 2;
    // One run in three has jobs that differ only in their times, all with the same label and
    // critical ratio, so that different jobs often finish at the same time at one position.
    const bool alike = run % 3 == 0;
    std::vector<Job> jobs;
    std::string input = std::to_string(count) + "\r\n";
    for (std::size_t i = 0; i < count; ++i) {
      Job job{};
      unsigned char label;
      do label = static_cast<unsigned char>(random());
      while (label == '\n' || label == 0x1A);
      if (alike) label = 'A';
      ASSERT_TRUE(Windows1250().DecodeCharacter(std::span(&label, 1), job.Label));
      do job.ProcessingTime = time();
      while (job.ProcessingTime == 0);
      job.DueDate = time();
      if (alike) {
        job.ProcessingTime = 1 + static_cast<std::int32_t>(random() % 3);
        job.DueDate = 2 * job.ProcessingTime;
      }
      job.CriticalRatio = CriticalRatio(job.DueDate, job.ProcessingTime);
      jobs.push_back(job);
      input.push_back(static_cast<char>(label));
      for (std::int32_t value : {job.ProcessingTime, job.DueDate}) {
        input.push_back(' ');
        input.append(std::to_string(value));
      }
      input.append("\r\n");
    }
    SCOPED_TRACE(input);
    MemoryFileSystem files;
    files.Files[u"ordplan.txt"] = input;
    auto state = std::make_unique<RunState>(files, Windows1250());
    ASSERT_NO_THROW(ordplan::Run(*state));
    ASSERT_EQ(files.Files[u"ordplan.prn"], PlainReport(jobs));
  }
}

}  // namespace
}  // namespace ordplan
