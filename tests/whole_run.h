// What the whole-run tests (run_test.cpp, run_win32_test.cpp) share: files read and written
// whole, and a program run in a fresh temporary directory, its exit code and standard streams
// kept.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace whole_run {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path);
void WriteFile(const fs::path& path, const std::string& content);

// tests/runs: inputs and their golden reports.
fs::path Runs();

// The standard-error message of a failure in module `module` (the bytes that the message
// shows), the location masked.
std::string FailureMessage(const std::string& module, const std::string& kind,
                           const std::string& message);

struct Outcome {
  int exitCode = -1;
  std::string standardOutput;
  std::string standardError;  // the eight location digits replaced by #
};

// The descriptors a started program gets as its standard input, output and error; -1 leaves
// it the one of this process.
struct Streams {
  int input = -1;
  int output = -1;
  int error = -1;
};

// Starts `command` (a program, looked up in PATH, then its arguments) in `dir` with `streams`;
// `prepare`, if given, runs in the child just before the program replaces it.
pid_t Start(const std::vector<std::string>& command, const fs::path& dir, const Streams& streams,
            const std::function<void()>& prepare = {});

// Waits for `child`: its exit code, or 128 plus the number of the signal that ended it.
int Wait(pid_t child);

// A fresh directory, named `prefix` and six more characters in the temporary directory,
// removed with all it holds.
class RunDirectory {
 public:
  explicit RunDirectory(const char* prefix);
  ~RunDirectory();
  RunDirectory(const RunDirectory&) = delete;
  RunDirectory& operator=(const RunDirectory&) = delete;

  const fs::path& Path() const { return path_; }
  fs::path operator/(const char* name) const { return path_ / name; }

  // Runs `command` here, as Start does, with `input` as its standard input (-1: this
  // process's) and its standard output and error in files beside this directory.
  Outcome RunCommand(const std::vector<std::string>& command, int input = -1,
                     const std::function<void()>& prepare = {}) const;

  std::string Report() const { return ReadFile(path_ / "ordplan.prn"); }

 private:
  fs::path path_;
};

}  // namespace whole_run
