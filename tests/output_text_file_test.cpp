#include "output_text_file.h"

#include <gtest/gtest.h>

#include "code_page.h"
#include "memory_file_system.h"

namespace ordplan {
namespace {

struct Writer {
  MemoryFileSystem files;
  PendingIoResult pending;
  OutputTextFile report{files, Windows1250(), pending};

  Writer() {
    report.Bind(u"ordplan.prn");
    report.Create();
  }
  const std::string& Disk() { return files.Files[u"ordplan.prn"]; }
};

TEST(OutputTextFile, FieldKinds) {
  Writer w;
  w.report.WriteText(u"Dokoncen\u00ED \u4E00");  // a character 1250 lacks becomes '?'
  w.report.WriteChar(u'A', 3);
  w.report.WriteChar(u'B', 0);
  w.report.WriteChar(u'C', 1);
  w.report.WriteChar(u'\u010D', 2);
  w.report.WriteInteger(std::int64_t{0}, 10);
  w.report.WriteInteger(std::int64_t{-7}, 0);
  w.report.WriteFixed(30000.0, 8, 3);
  w.report.WriteLineEnd();
  w.report.Close();
  EXPECT_EQ(w.pending.Code, 0);
  EXPECT_EQ(w.Disk(), "Dokoncen\xED ?  ABC \xE8         0-730000.000\r\n");
}

TEST(OutputTextFile, GrowsInWholeBlocksAndCloseWritesTheRest) {
  Writer w;
  const std::string line(100, 'x');
  std::size_t written = 0;
  while (written + line.size() <= OutputTextFile::BatchSize + 1000) {
    w.report.WriteBytes(line);
    written += line.size();
    EXPECT_EQ(w.Disk().size() % OutputTextFile::TextBufferSize, 0u);
  }
  EXPECT_EQ(w.Disk().size(), OutputTextFile::BatchSize);
  w.report.Close();
  EXPECT_EQ(w.Disk().size(), written);
  EXPECT_EQ(w.pending.Code, 0);
  EXPECT_EQ(w.files.WriteCalls, (std::vector<std::size_t>{OutputTextFile::BatchSize,
                                                          written - OutputTextFile::BatchSize}));
}

TEST(OutputTextFile, AbandonKeepsTheWholeBlocksWritten) {
  struct Case {
    std::size_t written;
    std::size_t kept;
  };
  for (const Case c : {Case{0, 0}, Case{127, 0}, Case{128, 128}, Case{300, 256},
                       Case{OutputTextFile::BatchSize + 130, OutputTextFile::BatchSize + 128}}) {
    SCOPED_TRACE(c.written);
    Writer w;
    w.report.WriteBytes(std::string(c.written, 'y'));
    w.report.Abandon();
    EXPECT_EQ(w.Disk().size(), c.kept);
  }
}

TEST(OutputTextFile, AfterAFailedWriteAbandonAddsNothing) {
  Writer w;
  w.files.WriteFailsAfter = 1000;
  w.report.WriteBytes(std::string(OutputTextFile::BatchSize + 300, 'z'));
  EXPECT_EQ(w.pending.Code, 28);
  w.report.Abandon();
  EXPECT_EQ(w.Disk().size(), 1000u);  // what the system stored of the failed write
}

TEST(OutputTextFile, FailedWriteAtCloseLeavesTheFileOpen) {
  Writer w;
  w.files.WriteFailsAfter = 0;
  w.report.WriteText(u"abc");
  w.report.Close();
  EXPECT_EQ(w.pending.Code, 28);
  EXPECT_TRUE(w.report.IsOpen());
  EXPECT_EQ(w.Disk(), "");
}

TEST(OutputTextFile, CreateFailureIsRecorded) {
  MemoryFileSystem files;
  files.CreateError = ErrorAccessDenied;
  PendingIoResult pending;
  OutputTextFile report(files, Windows1250(), pending);
  report.Bind(u"ordplan.prn");
  report.Create();
  EXPECT_EQ(pending.Code, ErrorAccessDenied);
  EXPECT_FALSE(report.IsOpen());
}

TEST(OutputTextFile, RepeatedTextsAreConvertedAlike) {
  // Many different texts through the conversion memo: each is still written as itself.
  Writer w;
  std::string expected;
  for (int i = 0; i < 200; ++i) {
    std::u16string text(static_cast<std::size_t>(i % 7 + 1), static_cast<char16_t>(u'a' + i % 23));
    w.report.WriteText(text);
    expected += std::string(text.begin(), text.end());
    w.report.WriteChar(static_cast<char16_t>(0x100 + i), 0);  // shares memo slots with 0x00-0xFF
    char16_t unit = static_cast<char16_t>(0x100 + i);
    std::string bytes;
    Windows1250().Encode(std::u16string_view(&unit, 1), bytes);
    expected += bytes;
  }
  w.report.Close();
  EXPECT_EQ(w.Disk(), expected);
}

}  // namespace
}  // namespace ordplan
