#include "command_run.hpp"

#include <fcntl.h>
#include <pty.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace kplhost::test {
namespace {

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<char*> argvOf(const std::vector<std::string>& argv) {
  std::vector<char*> pointers;
  for (const std::string& arg : argv)
    pointers.push_back(const_cast<char*>(arg.c_str()));
  pointers.push_back(nullptr);
  return pointers;
}

int exitCodeOf(int status) {
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

CommandResult RunCommand(const std::vector<std::string>& argv,
                         const std::filesystem::path& workDir) {
  const ScratchDir capture;
  const std::string outPath = capture / "stdout", errPath = capture / "stderr";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addchdir_np(&actions, workDir.c_str());
  pid_t child = 0;
  auto args = argvOf(argv);
  const int spawned = posix_spawnp(&child, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) throw std::runtime_error("cannot run " + argv[0]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return {exitCodeOf(status), readFile(outPath), readFile(errPath)};
}

CommandResult RunKplhost(const std::vector<std::string>& args,
                         const std::filesystem::path& workDir) {
  std::vector<std::string> argv{KPLHOST_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunCommand(argv, workDir);
}

std::string RunKplhostOnTerminal(const std::vector<std::string>& args) {
  std::vector<std::string> argv{KPLHOST_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  auto pointers = argvOf(argv);  // prepared before the fork: the child only calls exec
  int terminal = -1;
  const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
  if (child < 0) throw std::runtime_error("forkpty failed");
  if (child == 0) {
    execv(pointers[0], pointers.data());
    _exit(127);
  }
  std::string written;
  char buffer[4096];
  for (;;) {
    const ssize_t got = read(terminal, buffer, sizeof buffer);
    if (got > 0)
      written.append(buffer, size_t(got));
    else if (got < 0 && errno == EINTR)
      continue;
    else
      break;  // EIO once the child has closed the terminal
  }
  close(terminal);
  int status = 0;
  waitpid(child, &status, 0);
  return written;
}

std::string Peer(const char* configured) {
  const std::string path = configured;
  return path.ends_with("-NOTFOUND") ? std::string() : path;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

ScratchDir::ScratchDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "kplhost-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a scratch folder");
  path_ = pattern;
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

ScratchStore::ScratchStore(const std::filesystem::path& home) {
  if (const char* old = std::getenv("KPL_HOME")) saved_ = old;
  setenv("KPL_HOME", home.c_str(), 1);
}

ScratchStore::~ScratchStore() {
  if (saved_)
    setenv("KPL_HOME", saved_->c_str(), 1);
  else
    unsetenv("KPL_HOME");
}

}  // namespace kplhost::test
