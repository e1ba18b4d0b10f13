// The store shared by processes: two processes saving different values at the same moment,
// round after round, both keep their values; a writer killed at any moment leaves a store
// that reads whole.
#include <signal.h>

#include <random>

#include "fresh_store.hpp"
#include "kpl/platform/profile.h"
#include "kpl/support/ini_mgr.hpp"

namespace kpl::test {
namespace {

constexpr const char* kRoot = "Software\\Tessalbrook\\FilePlugIns";
constexpr const char* kSectionKey = "Software\\Tessalbrook\\FilePlugIns\\Shared\\Parameters";
constexpr int kValuesPerProcess = 3;

class StoreSharingTest : public FreshStore {};

bool readAll(int descriptor, void* data, size_t bytes) {
  auto* at = static_cast<char*>(data);
  while (bytes > 0) {
    const ssize_t got = read(descriptor, at, bytes);
    if (got <= 0) return false;
    at += got;
    bytes -= size_t(got);
  }
  return true;
}

std::string valueName(int process, int index) {
  return "Process" + std::string(1, char('A' + process)) + std::to_string(index);
}

// One saving process: registers its own values, then per round number received sets them all
// to it and saves, and reports back.
[[noreturn]] void saver(int process, bool registry, int go, int done) {
  if (registry) {
    TypedRegistryValues = true;
    SetRegistryRoot(HKEY_CURRENT_USER, kRoot);
    SetApplicationName("Shared");
  } else {
    SetApplicationName("Shared");
  }
  int32_t values[kValuesPerProcess] = {};
  for (int i = 0; i < kValuesPerProcess; ++i)
    RegisterSetting("Parameters", valueName(process, i).c_str(), KindLong32, &values[i], &values[i],
                    0);
  int32_t round = 0;
  while (readAll(go, &round, sizeof round)) {
    for (int32_t& value : values)
      value = round;
    SaveSettings();
    const char ok = 1;
    if (write(done, &ok, 1) != 1) _exit(3);
  }
  _exit(0);
}

std::optional<int32_t> storedValue(bool registry, const std::string& name) {
  if (registry) {
    const auto number = QueryNumber(kSectionKey, name.c_str());
    return number ? std::optional<int32_t>(int32_t(*number)) : std::nullopt;
  }
  char text[32];
  GetPrivateProfileStringA("Parameters", name.c_str(), "", text, sizeof text, "shared.ini");
  return *text ? std::optional<int32_t>(std::atoi(text)) : std::nullopt;
}

TEST_F(StoreSharingTest, TwoProcessesSavingAtOnceBothKeepTheirValuesEveryRound) {
  constexpr int kRounds = 150;
  for (const bool registry : {true, false}) {
    SCOPED_TRACE(registry ? "registry" : "INI file");
    int go[2][2], done[2][2];
    pid_t children[2];
    std::vector<int> parentEnds;
    for (int process = 0; process < 2; ++process) {
      ASSERT_EQ(pipe(go[process]), 0);
      ASSERT_EQ(pipe(done[process]), 0);
      std::fflush(nullptr);
      children[process] = fork();
      ASSERT_GE(children[process], 0);
      if (children[process] == 0) {
        // Only the parent may hold the ends it uses, or no saver would see its pipe close.
        for (const int end : parentEnds)
          close(end);
        close(go[process][1]);
        close(done[process][0]);
        saver(process, registry, go[process][0], done[process][1]);
      }
      close(go[process][0]);
      close(done[process][1]);
      parentEnds.push_back(go[process][1]);
      parentEnds.push_back(done[process][0]);
    }
    int lost = 0;
    for (int32_t round = 1; round <= kRounds; ++round) {
      for (int process = 0; process < 2; ++process)
        ASSERT_EQ(write(go[process][1], &round, sizeof round), ssize_t(sizeof round));
      for (int process = 0; process < 2; ++process) {
        char ok = 0;
        ASSERT_TRUE(readAll(done[process][0], &ok, 1)) << "a saving process died";
      }
      for (int process = 0; process < 2; ++process)
        for (int i = 0; i < kValuesPerProcess; ++i)
          if (storedValue(registry, valueName(process, i)) != round) ++lost;
      ASSERT_EQ(lost, 0) << "values lost in round " << round;
    }
    for (int process = 0; process < 2; ++process) {
      close(go[process][1]);
      close(done[process][0]);
      int status = 0;
      ASSERT_EQ(waitpid(children[process], &status, 0), children[process]);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_TRUE(filesStartingWith("registry.reg.unreadable").empty());
  }
}

// What the killed writer writes: texts of one repeated letter, so a torn write would show.
std::string textFor(uint32_t step) {
  return std::string(2000 + step % 3000, char('a' + step % 26));
}

// A text one step wrote: its letter and its length come from the same step number.
bool isWhole(const std::string& text) {
  if (text.size() < 2000 || text.size() >= 5000) return false;
  if (text.find_first_not_of(text[0]) != std::string::npos) return false;
  const uint32_t letter = uint32_t(text[0] - 'a'), extra = uint32_t(text.size() - 2000);
  return letter < 26 && letter % 2 == extra % 2;
}

TEST_F(StoreSharingTest, AWriterKilledAtAnyMomentNeverLeavesABrokenStore) {
  constexpr int kKills = 60;
  ASSERT_EQ(SetText(kSectionKey, "Anchor", "kept"), ERROR_SUCCESS);
  ASSERT_TRUE(WritePrivateProfileStringA("Parameters", "Anchor", "kept", "killed.ini"));
  const unsigned seed = std::random_device{}();
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> pause(0, 20000);
  SCOPED_TRACE("seed " + std::to_string(seed));

  for (int kill = 0; kill < kKills; ++kill) {
    std::fflush(nullptr);
    const pid_t writer = fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
      for (uint32_t step = 0;; ++step) {
        SetText(kSectionKey, "Text", textFor(step));
        SetNumber(kSectionKey, "Step", step);
        WritePrivateProfileStringA("Parameters", "Text", textFor(step).c_str(), "killed.ini");
      }
    }
    usleep(useconds_t(pause(random)));
    ASSERT_EQ(::kill(writer, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(waitpid(writer, &status, 0), writer);

    ::testing::internal::CaptureStderr();
    EXPECT_EQ(QueryText(kSectionKey, "Anchor"), "kept") << "after kill " << kill;
    const std::optional<std::string> text = QueryText(kSectionKey, "Text");
    if (text) {
      EXPECT_TRUE(isWhole(*text)) << "after kill " << kill;
    }
    char ini[8192];
    GetPrivateProfileStringA("Parameters", "Anchor", "", ini, sizeof ini, "killed.ini");
    EXPECT_STREQ(ini, "kept") << "after kill " << kill;
    GetPrivateProfileStringA("Parameters", "Text", "", ini, sizeof ini, "killed.ini");
    if (*ini) {
      EXPECT_TRUE(isWhole(ini)) << "after kill " << kill;
    }
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    ASSERT_TRUE(filesStartingWith("registry.reg.unreadable").empty()) << "after kill " << kill;
  }
}

}  // namespace
}  // namespace kpl::test
