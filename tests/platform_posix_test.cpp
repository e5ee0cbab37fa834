#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "platform.h"

namespace ordplan {
namespace {

namespace fs = std::filesystem;

// A fresh directory, made the current one while the test runs.
class InDirectory {
 public:
  InDirectory() : previous_(fs::current_path()) {
    std::string pattern = (fs::temp_directory_path() / "ordplan-posix-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
    fs::current_path(path_);
  }
  ~InDirectory() {
    fs::current_path(previous_);
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }

 private:
  fs::path previous_;
  fs::path path_;
};

TEST(PosixFiles, ErrorNumbers) {
  InDirectory here;
  SystemServices system = OpenSystemServices();
  std::unique_ptr<OsFile> file;
  EXPECT_EQ(system.Files->OpenForReading(u"missing.txt", file), ErrorFileNotFound);
  fs::create_directory("directory");
  EXPECT_EQ(system.Files->OpenForReading(u"directory", file), ErrorAccessDenied);
  EXPECT_EQ(system.Files->CreateForWriting(u"directory", file), ErrorAccessDenied);
  EXPECT_EQ(system.Files->CreateForWriting(u"no/such/dir.prn", file), ErrorFileNotFound);
  EXPECT_EQ(file, nullptr);
}

TEST(PosixFiles, TooManyOpenFiles) {
#ifdef __SANITIZE_ADDRESS__
  GTEST_SKIP() << "the sanitizers' own checks need descriptors of their own";
#endif
  InDirectory here;
  SystemServices system = OpenSystemServices();
  std::ofstream("in.txt") << "1\n";
  rlimit saved;
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
  // No descriptor above the ones already open is left.
  const rlimit none{static_cast<rlim_t>(::dup(0)), saved.rlim_max};
  ::close(static_cast<int>(none.rlim_cur));
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &none), 0);
  std::unique_ptr<OsFile> file;
  const int create = system.Files->CreateForWriting(u"out.prn", file);
  const int open = system.Files->OpenForReading(u"in.txt", file);
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &saved), 0);
  EXPECT_EQ(create, ErrorTooManyOpenFiles);
  EXPECT_EQ(open, ErrorTooManyOpenFiles);
}

TEST(PosixFiles, ReportIsEmptiedOnlyOnceItMayBeWritten) {
  InDirectory here;
  SystemServices system = OpenSystemServices();
  std::ofstream("old.prn") << "an earlier report";
  std::unique_ptr<OsFile> file;
  ASSERT_EQ(system.Files->CreateForWriting(u"old.prn", file), 0);
  EXPECT_EQ(fs::file_size("old.prn"), 0u);
  // A second create while the first holds the file fails and leaves it as it is.
  ASSERT_EQ(file->Write("kept", 4), 0);
  std::unique_ptr<OsFile> second;
  EXPECT_NE(system.Files->CreateForWriting(u"old.prn", second), 0);
  EXPECT_EQ(fs::file_size("old.prn"), 4u);
  EXPECT_EQ(file->Close(), 0);
}

}  // namespace
}  // namespace ordplan
