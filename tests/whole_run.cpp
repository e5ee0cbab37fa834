#include "whole_run.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <regex>
#include <sstream>

namespace whole_run {

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

void WriteFile(const fs::path& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary);
  out << content;
}

fs::path Runs() { return ORDPLAN_RUNS_DIR; }

std::string FailureMessage(const std::string& module, const std::string& kind,
                           const std::string& message) {
  return "Exception " + kind + " in module " + module + " at ########.\r\n" + message + ".\r\n\r\n";
}

pid_t Start(const std::vector<std::string>& command, const fs::path& dir, const Streams& streams,
            const std::function<void()>& prepare) {
  const pid_t child = ::fork();
  if (child == 0) {
    if (::chdir(dir.c_str()) != 0) ::_exit(125);
    if (streams.input >= 0) ::dup2(streams.input, 0);
    if (streams.output >= 0) ::dup2(streams.output, 1);
    if (streams.error >= 0) ::dup2(streams.error, 2);
    if (prepare) prepare();
    std::vector<char*> argv;
    for (const std::string& word : command) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    ::execvp(argv[0], argv.data());
    ::_exit(126);
  }
  return child;
}

int Wait(pid_t child) {
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

RunDirectory::RunDirectory(const char* prefix) {
  std::string pattern = (fs::temp_directory_path() / (std::string(prefix) + "XXXXXX")).string();
  path_ = ::mkdtemp(pattern.data());
}

RunDirectory::~RunDirectory() {
  std::error_code ignored;
  fs::permissions(path_, fs::perms::owner_all, ignored);
  fs::remove_all(path_, ignored);
}

Outcome RunDirectory::RunCommand(const std::vector<std::string>& command, int input,
                                 const std::function<void()>& prepare) const {
  const fs::path out = path_.parent_path() / (path_.filename().string() + ".out");
  const fs::path err = path_.parent_path() / (path_.filename().string() + ".err");
  const int output = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  const int error = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  const pid_t child = Start(command, path_, {input, output, error}, prepare);
  ::close(output);
  ::close(error);
  Outcome outcome;
  outcome.exitCode = Wait(child);
  outcome.standardOutput = ReadFile(out);
  outcome.standardError =
      std::regex_replace(ReadFile(err), std::regex(" at [0-9A-F]{8}\\."), " at ########.");
  fs::remove(out);
  fs::remove(err);
  return outcome;
}

}  // namespace whole_run
