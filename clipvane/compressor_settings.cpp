#include "compressor_settings.hpp"

#include <cstring>

#include "kpl/support/ini_mgr.hpp"

namespace kpl::clipvane {
namespace {

// Bound by address to the store's entries, so they live as long as the module.
CompressorSettings settings = {"cvid", -1, -1, -1, -1, 153600};

constexpr const char* kSection = "Parameters";

}  // namespace

void RegisterCompressorSettings() {
  TypedRegistryValues = true;
  SetRegistryRoot(HKEY_CURRENT_USER, "Software\\Tessalbrook\\FilePlugIns");
  SetApplicationName("AviPlugIn");
  std::memcpy(settings.codec, "cvid", sizeof settings.codec);
  settings.useKeyframe = -1;
  settings.useDatarate = -1;
  settings.keyframeEvery = -1;
  settings.quality = -1;
  settings.bytesPerSec = 153600;
  RegisterSetting(kSection, "Codec", KindFixedText, settings.codec, settings.codec, 4);
  RegisterSetting(kSection, "UseKeyframe", KindBool32, &settings.useKeyframe, &settings.useKeyframe,
                  0);
  RegisterSetting(kSection, "UseDatarate", KindBool32, &settings.useDatarate, &settings.useDatarate,
                  0);
  RegisterSetting(kSection, "KeyframeEvery", KindLong32, &settings.keyframeEvery,
                  &settings.keyframeEvery, 0);
  RegisterSetting(kSection, "Quality", KindLong32, &settings.quality, &settings.quality, 0);
  RegisterSetting(kSection, "BytesPerSec", KindLong32, &settings.bytesPerSec, &settings.bytesPerSec,
                  0);
}

const CompressorSettings& Compressor() {
  return settings;
}

}  // namespace kpl::clipvane
