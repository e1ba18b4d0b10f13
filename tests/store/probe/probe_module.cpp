// A small module that keeps two settings in the store, for tests that drive the store the way
// a file module does: registered at piInit, changed and saved through settings lines, written
// once more when the module is unloaded. Its name follows the user's language.
#include <cstdio>
#include <cstring>
#include <string>

#include "kpl/support/ini_mgr.hpp"
#include "kpl/support/plug_hdr.hpp"
#include "kpl/support/settings_line.hpp"
#include "kpl/support/type_routing.hpp"
#include "kpl/support/win_text2.hpp"

namespace kpl {
namespace {

constexpr uint32_t kNameString = 1;

int32_t counter = 5;
char codec[5] = "cvid";
NameBuffer name;

struct ProbeBlock {
  uint32_t flags;
};

void registerSettings() {
  TypedRegistryValues = true;
  SetRegistryRoot(HKEY_CURRENT_USER, "Software\\Tessalbrook\\FilePlugIns");
  SetApplicationName("StoreProbe");
  counter = 5;
  std::strcpy(codec, "cvid");
  RegisterSetting("Parameters", "Counter", KindLong32, &counter, &counter, 0);
  RegisterSetting("Parameters", "Codec", KindFixedText, codec, codec, 4);
}

// Lines 0 and 1 show the variables; loading "COUNTER=n" or "CODEC=xxxx" changes them, "SAVE"
// and "FREE" run the store's calls.
bool saveLine(const Instance&, int32_t index, char* text) {
  if (index == 0) return WriteSettingsLine(text, "COUNTER", counter), true;
  if (index == 1) return std::snprintf(text, 64, "CODEC=%s", codec), true;
  return false;
}

bool loadLine(const Instance&, int32_t, char* text) {
  const std::string line = text;
  if (line.starts_with("COUNTER="))
    counter = ReadNumber(ValueOf(text));
  else if (line.starts_with("CODEC="))
    std::snprintf(codec, sizeof codec, "%s", ValueOf(text));
  else if (line == "SAVE")
    SaveSettings();
  else if (line == "FREE")
    FreeSettings();
  else
    return false;
  return true;
}

constexpr TypeOps kOps = {
    .blockBytes = sizeof(ProbeBlock),
    .init = [](uint32_t) { return registerSettings(), true; },
    .done = [](uint32_t) { return true; },
    .name = [](uint32_t) { return name.load(kNameString + uint32_t(LanguageOffset())); },
    .flags = [](uint32_t) { return pifFile | pifWrite; },
    .localInit = [](uint32_t, uint32_t flags) { return NewInstanceBlock(GHND, ProbeBlock{flags}); },
    .saveData = saveLine,
    .loadData = loadLine,
};

const TypeRange kRanges[] = {{0, 0, &kOps}};

const StringResource kStrings[] = {
    {1, "Store probe"},
    {4501, "Lagerpr\xF8ve"},
    {65000, "DAN:4500"},
    {65001, "<end>"},
};

}  // namespace

const ModuleTable& ThisModule() {
  static const ModuleTable table{1, kRanges};
  return table;
}

const ModuleResources& ThisModuleResources() {
  static const ModuleResources resources{kStrings, std::size(kStrings), nullptr, 0};
  return resources;
}

}  // namespace kpl
