#include "job_list.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

#include "code_page.h"
#include "memory_file_system.h"
#include "run.h"

namespace ordplan {
namespace {

using namespace std::string_literals;

struct NumberCase {
  const char* text;
  std::optional<std::int32_t> value;  // nullopt: malformed or out of range
};

const NumberCase NumberCases[] = {
    {"10", 10},
    {"$A", 10},
    {"xA", 10},
    {"0X0a", 10},
    {"+10", 10},
    {"0010", 10},
    {"2147483647", 2147483647},
    {"-2147483648", -2147483647 - 1},
    {"2147483648", std::nullopt},
    {"-2147483649", std::nullopt},
    {"+2147483648", std::nullopt},
    {"$FFFFFFFF", -1},
    {"$80000000", -2147483647 - 1},
    {"-$80000000", -2147483647 - 1},
    {"-$FFFFFFFF", 1},
    {"$100000000", std::nullopt},
    {"$000000000FFFFFFFF", -1},
    {"0x7fffffff", 2147483647},
    {"-0", 0},
    {"three", std::nullopt},
    {"3.0", std::nullopt},
    {"3,", std::nullopt},
    {"-", std::nullopt},
    {"+", std::nullopt},
    {"$", std::nullopt},
    {"0x", std::nullopt},
    {"x", std::nullopt},
    {"+-1", std::nullopt},
    {"--1", std::nullopt},
    {"1-", std::nullopt},
    {"$-1", std::nullopt},
    {"0x$1", std::nullopt},
    {"$G", std::nullopt},
    {"12a", std::nullopt},
    {"\xEF\xBB\xBF"
     "3",
     std::nullopt},  // a UTF-8 byte-order mark
    {"", std::nullopt},
};

TEST(ParseNumber, SyntaxAndRange) {
  for (const NumberCase& c : NumberCases) {
    SCOPED_TRACE(c.text);
    std::int32_t value = 12345;
    const bool parsed = ParseNumber(c.text, value);
    EXPECT_EQ(parsed, c.value.has_value());
    if (c.value) {
      EXPECT_EQ(value, *c.value);
    }
  }
}

// Reads a whole input through ReadJobCount and ReadJobs, as a run does.
struct Reading {
  MemoryFileSystem files;
  PendingIoResult pending;
  InputTextFile input{files, Windows1250(), pending};
  JobList jobs{};
  std::int32_t count = 0;

  explicit Reading(std::string content) {
    files.Files[u"ordplan.txt"] = std::move(content);
    input.Bind(u"ordplan.txt");
    input.OpenForReading();
  }
};

struct JobsCase {
  const char* name;
  std::string input;
  std::int32_t count;
  std::string labels;               // one byte per job read, in the code page
  std::vector<std::int32_t> times;  // processing time and due date of each job read
  std::string kind;                 // the failure raised by ReadJobs, "" for none
  std::string message;
};

const JobsCase JobsCases[] = {
    {"crlf lines", "3\r\nA 3 4\r\nB 2 3\r\nC 4 12\r\n", 3, "ABC", {3, 4, 2, 3, 4, 12}, "", ""},
    {"lf lines, no last line end", "2\nA 3 4\nB 2 3", 2, "AB", {3, 4, 2, 3}, "", ""},
    {"blank lines and blanks before the count",
     "\r\n \t\r\n  2 jobs here\r\nA 1 2\r\nB 3 4\r\n",
     2,
     "AB",
     {1, 2, 3, 4},
     "",
     ""},
    {"label is the first character", "3\n 4 9\n12 7\nA4 9\n", 3, " 1A", {4, 9, 2, 7, 4, 9}, "", ""},
    {"tabs separate like spaces", "1\nA\t4\t9\tand more\n", 1, "A", {4, 9}, "", ""},
    {"numbers may stand on later lines", "1\nA\n\n4\n 9 rest\nignored\n", 1, "A", {4, 9}, "", ""},
    {"text after the due date is ignored",
     "2\nA 4 9 17 words\nB 1 1\n",
     2,
     "AB",
     {4, 9, 1, 1},
     "",
     ""},
    {"empty file", "", 0, "", {}, "", ""},
    {"only blanks", " \r\n\t\r\n", 0, "", {}, "", ""},
    {"count 0 reads no job line", "0\nA 1 1\n", 0, "", {}, "", ""},
    {"negative count reads no job line", "-3\nA 1 1\n", -3, "", {}, "", ""},
    {"$FFFFFFFF count is -1", "$FFFFFFFF\nA 1 1\n", -1, "", {}, "", ""},
    {"hexadecimal times", "1\nA $A -x10\n", 1, "A", {10, -16}, "", ""},
    {"negative processing time", "1\nA -4 10\n", 1, "A", {-4, 10}, "", ""},
    {"32 zeros then 7: the 7 is the due date",
     "1\nA 000000000000000000000000000000007\n",
     1,
     "A",
     {0, 7},
     "EZeroDivide",
     "Floating point division by zero"},
    {"32 zeros then 7 on the count line", "000000000000000000000000000000007\n", 0, "", {}, "", ""},
    {"0x1A ends the file",
     "2\nA 1 2\n\x1A"
     "B 3 4\n",
     2,
     "A\x1A",
     {1, 2, 0, 0},
     "EInvalidOp",
     "Invalid floating point operation"},
    {"due date missing at the end of the file", "1\nA 5", 1, "A", {5, 0}, "", ""},
    {"fewer job lines than the count",
     "2\nA 1 2\n",
     2,
     "A\x1A",
     {1, 2, 0, 0},
     "EInvalidOp",
     "Invalid floating point operation"},
    {"cr-only lines are one count line",
     "1\rA 1 2\rB 3 4\r",
     1,
     "\x1A",
     {0, 0},
     "EInvalidOp",
     "Invalid floating point operation"},
    {"processing time 0, due date not",
     "1\nA 0 5\n",
     1,
     "A",
     {0, 5},
     "EZeroDivide",
     "Floating point division by zero"},
    {"processing time 0, due date 0",
     "1\nA 0 0\n",
     1,
     "A",
     {0, 0},
     "EInvalidOp",
     "Invalid floating point operation"},
    {"malformed count", "three\nA 1 2\n", 1, "A", {}, "EInOutError", "Invalid numeric input"},
    {"malformed count at the end of the file",
     "3.0",
     1,
     "\x1A",
     {},
     "EInOutError",
     "Invalid numeric input"},
    {"malformed processing time",
     "1\nA 4x 9\n",
     1,
     "A",
     {},
     "EInOutError",
     "Invalid numeric input"},
    {"empty line before a job: label LF, letter as time",
     "1\n\nA 4 9\n",
     1,
     "\n",
     {},
     "EInOutError",
     "Invalid numeric input"},
    {"empty line before a job: label CR", "1\r\n\r\n4 9\r\n", 1, "\r", {4, 9}, "", ""},
    {"missing due date takes the next label",
     "2\nA 4\nB 2 3\n",
     2,
     "A",
     {4},
     "EInOutError",
     "Invalid numeric input"},
    {"malformed due date", "1\nA 4 9.5\n", 1, "A", {4}, "EInOutError", "Invalid numeric input"},
    {"count above the maximum",
     "11\nA 1 1\n",
     11,
     "",
     {},
     "ERangeError",
     "Job count 11 exceeds the maximum of 10"},
    {"count of 2147483647",
     "2147483647\n",
     2147483647,
     "",
     {},
     "ERangeError",
     "Job count 2147483647 exceeds the maximum of 10"},
    {"ten jobs are allowed",
     "10\na 1 1\nb 1 1\nc 1 1\nd 1 1\ne 1 1\nf 1 1\ng 1 1\nh 1 1\ni 1 1\nj 1 1\n",
     10,
     "abcdefghij",
     {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1},
     "",
     ""},
    {"non-ASCII labels", "2\n\xED 1 1\n\x81 1 1\n", 2, "\xED\x81", {1, 1, 1, 1}, "", ""},
    {"NUL bytes are blanks, and a label",
     "\0\0"
     "2\0\0\nA\0"
     "3\0"
     "4\0\n\0 1 1\n"s,
     2,
     "A\0"s,
     {3, 4, 1, 1},
     "",
     ""},
    {"a NUL byte ends the count's text",
     "1\0"
     "7\nA 1 1\n"s,
     1,
     "A",
     {1, 1},
     "",
     ""},
    {"only NUL bytes", std::string(100, '\0'), 0, "", {}, "", ""},
    {"a count line of 32-byte runs without blanks",
     std::string(31, '0') + "2" + std::string(31, '0') + "9\nA 1 1\nB 2 2\n",
     2,
     "AB",
     {1, 1, 2, 2},
     "",
     ""},
    {"a job line of 32-byte runs without blanks",
     "1\nA" + std::string(31, '0') + "3" + std::string(31, '0') + "4" + std::string(31, '0') +
         "5\n",
     1,
     "A",
     {3, 4},
     "",
     ""},
    {"32-byte hexadecimal runs: the 33rd byte starts the next number",
     "1\nA$" + std::string(30, '0') + "F0x" + std::string(29, '0') + "1F\n",
     1,
     "A",
     {15, 1},
     "",
     ""},
    {"a count line of 10,000 digits: 32 zeros",
     std::string(9999, '0') + "3\nA 1 1\n",
     0,
     "",
     {},
     "",
     ""},
    {"a count line of 10,000 digits: 32 digits out of range",
     "1" + std::string(9999, '0') + "\nA 1 1\n",
     1,
     "A",
     {},
     "EInOutError",
     "Invalid numeric input"},
    {"a count line of 10,000 digits: the rest of the line is skipped",
     std::string(31, '0') + "2" + std::string(9968, '7') + "\nA 1 1\nB 2 2\n",
     2,
     "AB",
     {1, 1, 2, 2},
     "",
     ""},
    {"utf-8 byte-order mark makes the count malformed",
     "\xEF\xBB\xBF"
     "1\nA 1 1\n",
     1,
     "A",
     {},
     "EInOutError",
     "Invalid numeric input"},
};

TEST(ReadJobs, InputFormat) {
  for (const JobsCase& c : JobsCases) {
    SCOPED_TRACE(c.name);
    Reading reading(c.input);
    ReadJobCount(reading.input, reading.count);
    std::string kind, message;
    try {
      ReadJobs(reading.input, reading.pending, reading.count, reading.jobs);
    } catch (const RunFailure& failure) {
      kind = failure.Kind();
      message = failure.Message();
    }
    EXPECT_EQ(reading.count, c.count);
    EXPECT_EQ(kind, c.kind);
    EXPECT_EQ(message, c.message);
    for (std::size_t i = 0; i < c.labels.size(); ++i) {
      char16_t expected;
      const unsigned char byte = static_cast<unsigned char>(c.labels[i]);
      ASSERT_TRUE(Windows1250().DecodeCharacter(std::span(&byte, 1), expected));
      EXPECT_EQ(reading.jobs[static_cast<std::int32_t>(i) + 1].Label, expected) << "job " << i + 1;
    }
    for (std::size_t i = 0; i < c.times.size(); ++i) {
      const Job& job = reading.jobs[static_cast<std::int32_t>(i / 2) + 1];
      EXPECT_EQ(i % 2 == 0 ? job.ProcessingTime : job.DueDate, c.times[i]) << "value " << i;
    }
  }
}

TEST(ReadJobs, CriticalRatioIsTheQuotientRoundedOnce) {
  Reading reading("2\nA -4 10\nB 3 1\n");
  ReadJobCount(reading.input, reading.count);
  ReadJobs(reading.input, reading.pending, reading.count, reading.jobs);
  EXPECT_EQ(reading.jobs[1].CriticalRatio, -2.5);
  EXPECT_EQ(reading.jobs[2].CriticalRatio, 1.0 / 3);
  // Rounded to a 64-bit significand first, then to a double: for 115 / 2051 that gives one
  // unit in the last place more than a double division.
  EXPECT_EQ(CriticalRatio(115, 2051), std::nextafter(115.0 / 2051.0, 1.0));
  EXPECT_EQ(CriticalRatio(2147483647, -2147483647 - 1), -2147483647.0 / 2147483648.0);
}

TEST(ReadJobs, LaterLinesAreNotRead) {
  Reading reading("1\nA 1 2\nB 3 x\n");
  ReadJobCount(reading.input, reading.count);
  ReadJobs(reading.input, reading.pending, reading.count, reading.jobs);
  EXPECT_EQ(reading.pending.Code, 0);
  EXPECT_EQ(reading.jobs[2].Label, 0);
}

TEST(ReadJobs, FailurePendingFromTheCountComesFirst) {
  // A count that is too large and malformed cannot both be: a malformed count delivers 1, so
  // the pending failure is raised at the first label.
  Reading reading("99999999999\n");
  ReadJobCount(reading.input, reading.count);
  EXPECT_EQ(reading.count, 1);
  EXPECT_EQ(reading.pending.Code, ErrorInvalidNumber);
  try {
    ReadJobs(reading.input, reading.pending, reading.count, reading.jobs);
    FAIL() << "no failure raised";
  } catch (const RunFailure& failure) {
    EXPECT_EQ(failure.Message(), "Invalid numeric input");
  }
  EXPECT_EQ(reading.pending.Code, 0);
}

TEST(ReadLabel, SevenBytesThatFormNoCharacter) {
  // A code page in which no byte is a character: every label takes 7 bytes and fails.
  class NoCharacters final : public CodePage {
   public:
    bool DecodeCharacter(std::span<const unsigned char> bytes, char16_t&) const override {
      taken = bytes.size();
      return false;
    }
    void Encode(std::u16string_view, std::string&) const override {}
    mutable std::size_t taken = 0;
  } codePage;
  MemoryFileSystem files;
  files.Files[u"in"] = "ABCDEFGHIJ";
  PendingIoResult pending;
  InputTextFile input(files, codePage, pending);
  input.Bind(u"in");
  input.OpenForReading();
  EXPECT_EQ(input.ReadLabel(), 0);
  EXPECT_EQ(codePage.taken, 7u);
  EXPECT_EQ(pending.Code, ErrorInvalidNumber);
  // The eighth byte was not consumed.
  std::int32_t unused = input.ReadInteger();
  (void)unused;
  EXPECT_EQ(pending.Code, ErrorInvalidNumber);
}

TEST(InputTextFile, OpenFailuresAreRecorded) {
  MemoryFileSystem files;
  PendingIoResult pending;
  InputTextFile input(files, Windows1250(), pending);
  input.Bind(u"ordplan.txt");
  input.OpenForReading();
  EXPECT_EQ(pending.Code, ErrorFileNotFound);
  // Reading a file that is not open reads as the end of the file.
  EXPECT_EQ(input.ReadLabel(), u'\x1A');
  EXPECT_EQ(input.ReadInteger(), 0);
}

// A failed read records its error number and reads as the end of the file: the count is 0,
// a label U+001A; the failure waits for the next check.
TEST(InputTextFile, FailedReadActsAsTheEndOfTheFile) {
  Reading reading("3\nA 1 2\n");
  reading.files.ReadError = 5;
  ReadJobCount(reading.input, reading.count);
  EXPECT_EQ(reading.count, 0);
  EXPECT_EQ(reading.pending.Code, 5);
  reading.files.ReadError = 0;  // once at the end, always at the end
  EXPECT_EQ(reading.input.ReadLabel(), u'\x1A');
  EXPECT_EQ(reading.input.ReadInteger(), 0);
}

TEST(InputTextFile, LongInputsAreReadAcrossBuffers) {
  // Blanks far beyond one read, and a number whose text straddles two reads.
  std::string content = "1\nA" + std::string(200000, ' ') + "7" + std::string(100000, '\t');
  content += std::string(65536 * 5 - 2 - content.size(), ' ') + "12345 rest\n";
  Reading reading(content);
  ReadJobCount(reading.input, reading.count);
  ReadJobs(reading.input, reading.pending, reading.count, reading.jobs);
  EXPECT_EQ(reading.jobs[1].Label, u'A');
  EXPECT_EQ(reading.jobs[1].ProcessingTime, 7);
  EXPECT_EQ(reading.jobs[1].DueDate, 12345);
}

// 100 MB inputs are read as a stream: the text after a job's due date, and the blanks before
// the count.
TEST(ReadJobs, HundredMegabyteInputs) {
  constexpr std::size_t Size = 100u << 20;
  std::string trailing = "2\nA 1 2 ";
  for (std::size_t i = 0; trailing.size() < Size; ++i) trailing += "x 9\r\t\0"[i % 7];
  trailing += "\nB 3 4\n";
  std::string blanks;
  for (std::size_t i = 0; blanks.size() < Size; ++i) blanks += " \r\n\t\0"[i % 5];
  blanks += "2\nA 1 2\nB 3 4\n";
  for (std::string* input : {&trailing, &blanks}) {
    Reading reading(std::move(*input));
    ReadJobCount(reading.input, reading.count);
    ReadJobs(reading.input, reading.pending, reading.count, reading.jobs);
    EXPECT_EQ(reading.count, 2);
    EXPECT_EQ(reading.jobs[1].Label, u'A');
    EXPECT_EQ(reading.jobs[2].Label, u'B');
    EXPECT_EQ(reading.jobs[2].ProcessingTime, 3);
    EXPECT_EQ(reading.jobs[2].DueDate, 4);
  }
}

// Every byte is read as one label and written back as the same byte: the bytes go through
// ReadJobs and the block of the given order ten at a time. Byte 0x1A ends the file, so as a
// label it reads as the end of the file: U+001A, with the job's numbers missing.
TEST(ReadJobs, EveryByteValueAsALabel) {
  std::string bytes;
  for (int byte = 0; byte < 256; ++byte) {
    if (byte != 0x1A) bytes += static_cast<char>(byte);
  }
  for (std::size_t first = 0; first < bytes.size(); first += MaxJobs) {
    const std::string labels = bytes.substr(first, MaxJobs);
    const std::int32_t count = static_cast<std::int32_t>(labels.size());
    SCOPED_TRACE(first);
    std::string input = std::to_string(count) + "\r\n";
    for (char label : labels) input += label + " 1 10\r\n"s;

    MemoryFileSystem files;
    files.Files[u"ordplan.txt"] = input;
    RunState run(files, Windows1250());
    run.ReportFile.Bind(u"ordplan.prn");
    run.ReportFile.Create();
    run.InputFile.Bind(u"ordplan.txt");
    run.InputFile.OpenForReading();
    ReadJobCount(run.InputFile, run.JobCount);
    ReadJobs(run.InputFile, run.PendingIo, run.JobCount, run.InputJobs);
    std::int32_t counter = count;
    ReportSequence(run, u"Zadany vektor", run.InputJobs, counter, count);
    run.ReportFile.Close();
    ASSERT_EQ(run.PendingIo.Code, 0);

    std::string expected = "Zadany vektor[" + std::to_string(count) + "]:" + labels + "\r\n";
    expected += "Uloha  \tCelk. cas  Termin    CR   Dokoncen\xED  Zpozdeni   Kv.zpoz.\r\n";
    for (std::size_t k = 0; k < labels.size(); ++k) {
      const std::string completion = std::to_string(k + 1);
      expected += "  " + labels.substr(k, 1) + "         1        10    10.000" +
                  std::string(10 - completion.size(), ' ') + completion +
                  "         0         0\r\n";
    }
    expected += "celkove zpozdeni:   0.000  kva. odchylka:   0.000\r\n";
    EXPECT_EQ(files.Files[u"ordplan.prn"], expected);
  }

  Reading end("1\r\n\x1A 1 10\r\n");
  ReadJobCount(end.input, end.count);
  EXPECT_THROW(ReadJobs(end.input, end.pending, end.count, end.jobs), RunFailure);
  EXPECT_EQ(end.jobs[1].Label, u'\x1A');
  std::string written;
  Windows1250().Encode(std::u16string_view(&end.jobs[1].Label, 1), written);
  EXPECT_EQ(written, "\x1A");
}

}  // namespace
}  // namespace ordplan
