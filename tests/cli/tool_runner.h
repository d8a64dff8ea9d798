// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TESTS_CLI_TOOL_RUNNER_H_
#define USBORVA_TESTS_CLI_TOOL_RUNNER_H_

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace usborva::cli_test {

struct RunResult {
  int status = -1;  // exit status, or 128 + signal
  std::string out;
  std::string err;
};

struct RunOptions {
  std::optional<std::string> input;        // standard input; none: /dev/null
  std::map<std::string, std::string> env;  // set in the child's environment
  std::string cwd = USBORVA_SOURCE_DIR;    // examples/ paths are relative to the source
  std::string program = USBORVA_TOOL;
};

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void WriteFile(const std::filesystem::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

// A scratch folder, removed with the object.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "usborva-cli-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// The tool as a child process with its output in files (no pipe can fill up and stall it).
class Child {
 public:
  // drop_root: when run as root, the child runs as nobody (its files and standard streams
  // are opened before), so what depends on ownership can be seen.
  Child(const std::vector<std::string>& args, const RunOptions& options, bool drop_root = false) {
    const std::string out_path = (dir_.path() / "out").string();
    const std::string err_path = (dir_.path() / "err").string();
    const std::string in_path = (dir_.path() / "in").string();
    WriteFile(in_path, options.input.value_or(""));
    pid_ = fork();
    if (pid_ == 0) {
      const int in = options.input ? open(in_path.c_str(), O_RDONLY) : open("/dev/null", O_RDONLY);
      const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      dup2(in, 0);
      dup2(out, 1);
      dup2(err, 2);
      for (const auto& [key, value] : options.env) setenv(key.c_str(), value.c_str(), 1);
      if (chdir(options.cwd.c_str()) != 0) _exit(126);
      if (drop_root && getuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(126);
      std::vector<char*> argv;
      argv.push_back(const_cast<char*>(options.program.c_str()));
      for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
  }

  void Signal(int signal_number) { kill(pid_, signal_number); }
  pid_t pid() const { return pid_; }

  RunResult Wait() {
    int raw = 0;
    waitpid(pid_, &raw, 0);
    RunResult result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    result.out = ReadFile(dir_.path() / "out");
    result.err = ReadFile(dir_.path() / "err");
    return result;
  }

 private:
  TempDir dir_;
  pid_t pid_ = -1;
};

inline RunResult RunTool(const std::vector<std::string>& args, const RunOptions& options = {}) {
  return Child(args, options).Wait();
}

}  // namespace usborva::cli_test

#endif  // USBORVA_TESTS_CLI_TOOL_RUNNER_H_
