#pragma once
// Every test of the store runs against a fresh, empty store home (KPL_HOME) on disk, with the
// locale variables cleared, and restores the environment afterwards.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "kpl/platform/registry.h"

namespace kpl::test {

class FreshStore : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : kVariables)
      if (const char* value = std::getenv(name)) saved_[name] = value;
    char pattern[] = "/tmp/kpl-store-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    scratch_ = pattern;
    home_ = scratch_ / "home";
    for (const char* name : kVariables)
      unsetenv(name);
    setenv("KPL_HOME", home_.c_str(), 1);
  }
  void TearDown() override {
    for (const char* name : kVariables)
      unsetenv(name);
    for (const auto& [name, value] : saved_)
      setenv(name.c_str(), value.c_str(), 1);
    std::error_code ignored;
    std::filesystem::remove_all(scratch_, ignored);
  }

  const std::filesystem::path& home() const { return home_; }
  const std::filesystem::path& scratch() const { return scratch_; }
  std::filesystem::path registryFile() const { return home_ / "registry.reg"; }

  // Files in the home whose names start with `prefix`.
  std::vector<std::string> filesStartingWith(const std::string& prefix) const {
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(home_, ignored))
      if (entry.path().filename().string().starts_with(prefix))
        names.push_back(entry.path().filename().string());
    return names;
  }

 private:
  static constexpr const char* kVariables[] = {"KPL_HOME", "XDG_CONFIG_HOME", "LC_ALL",
                                               "LC_MESSAGES", "LANG"};
  std::map<std::string, std::string> saved_;
  std::filesystem::path scratch_, home_;
};

inline std::string ReadText(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void WriteText(const std::filesystem::path& file, const std::string& text) {
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << text;
}

// Values under HKEY_CURRENT_USER, read and written through the platform's calls.
inline std::optional<std::string> QueryText(const std::string& keyPath, const char* name) {
  HKEY key = 0;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return std::nullopt;
  char text[4096];
  uint32_t type = 0, bytes = sizeof text;
  const int32_t status =
      RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<uint8_t*>(text), &bytes);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || type != REG_SZ) return std::nullopt;
  return std::string(text);
}

inline std::optional<uint32_t> QueryNumber(const std::string& keyPath, const char* name) {
  HKEY key = 0;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return std::nullopt;
  uint32_t number = 0, type = 0, bytes = sizeof number;
  const int32_t status =
      RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<uint8_t*>(&number), &bytes);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || type != REG_DWORD) return std::nullopt;
  return number;
}

inline int32_t SetText(const std::string& keyPath, const char* name, const std::string& text) {
  HKEY key = 0;
  int32_t status = RegCreateKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, 0, KEY_WRITE,
                                   nullptr, &key, nullptr);
  if (status != ERROR_SUCCESS) return status;
  status = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const uint8_t*>(text.c_str()),
                          uint32_t(text.size() + 1));
  RegCloseKey(key);
  return status;
}

inline int32_t SetNumber(const std::string& keyPath, const char* name, uint32_t number) {
  HKEY key = 0;
  int32_t status = RegCreateKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, 0, KEY_WRITE,
                                   nullptr, &key, nullptr);
  if (status != ERROR_SUCCESS) return status;
  status = RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const uint8_t*>(&number), 4);
  RegCloseKey(key);
  return status;
}

// Runs `body` in a child process, so module-wide state (the settings store's list, its
// shut-down flag) starts fresh; a failed check in the child fails the test.
inline void InChild(const std::function<void()>& body) {
  std::fflush(stdout);
  std::fflush(stderr);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Failures the parent had before the fork are not the child's.
    const ::testing::TestResult& result =
        *::testing::UnitTest::GetInstance()->current_test_info()->result();
    const int partsBefore = result.total_part_count();
    int code = 0;
    try {
      body();
      for (int part = partsBefore; part < result.total_part_count(); ++part)
        if (result.GetTestPartResult(part).failed()) code = 1;
    } catch (...) {
      code = 2;
    }
    std::fflush(stdout);
    std::fflush(stderr);
    _exit(code);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "the child did not end normally";
  EXPECT_EQ(WEXITSTATUS(status), 0) << "checks in the child failed (see above)";
}

}  // namespace kpl::test
