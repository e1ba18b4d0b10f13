#pragma once
// Running kplhost and the peer tools (ImageMagick, sox) from the tests, in scratch folders.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kplhost::test {

struct CommandResult {
  int exitCode = -1;  // -1 when the command did not exit normally
  std::string out, err;
};

// Runs `argv` (argv[0] a path or a name on PATH) in `workDir`, stdout and stderr captured.
CommandResult RunCommand(const std::vector<std::string>& argv,
                         const std::filesystem::path& workDir = std::filesystem::current_path());
CommandResult RunKplhost(const std::vector<std::string>& args,
                         const std::filesystem::path& workDir = std::filesystem::current_path());

// Runs kplhost with a terminal as its stdin, stdout and stderr; returns all it wrote.
std::string RunKplhostOnTerminal(const std::vector<std::string>& args);

// A peer tool's path, or "" when it is not installed (the test then skips).
std::string Peer(const char* configured);

// Lines of a text, without their newlines.
std::vector<std::string> Lines(const std::string& text);

// A fresh folder, removed with everything in it when the object goes.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// Points KPL_HOME at `home` for as long as it lives, so a kplhost run that keeps settings
// (the AVI type does at every file it writes) keeps them there, never in the user's store.
class ScratchStore {
 public:
  explicit ScratchStore(const std::filesystem::path& home);
  ~ScratchStore();
  ScratchStore(const ScratchStore&) = delete;
  ScratchStore& operator=(const ScratchStore&) = delete;

 private:
  std::optional<std::string> saved_;
};

}  // namespace kplhost::test

// Skips the test when a peer tool is missing, naming it.
#define REQUIRE_PEER(path)                                         \
  do {                                                             \
    if ((path).empty()) GTEST_SKIP() << "peer tool not installed"; \
  } while (0)
