// kplhost demo: the typical job on built-in material, so a new user sees the system work with
// one command. Every run is a row of the table below; a new effect is one more row.
#include <array>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>

#include "arg_parser.hpp"
#include "avi_clip.hpp"
#include "commands.hpp"
#include "contact_sheet.hpp"
#include "demo_material.hpp"
#include "errors.hpp"
#include "file_types.hpp"
#include "module_types.hpp"
#include "paths.hpp"
#include "picture_files.hpp"
#include "png_io.hpp"
#include "sound_effect.hpp"
#include "video_effect.hpp"
#include "wav_io.hpp"

namespace kplhost {
namespace {

constexpr std::string_view kUsage = R"(Usage: kplhost demo [--out DIR]

Runs the typical job on built-in material (three 320x240 pictures and a 2-second 440 Hz
tone): a fade in, a cross fade and a wipe of the pictures, a blue-screen key of a subject
over one of them and the transitions from one picture to the other (push, slide, curtain
slide, chessboard, snake wipe), shown on one contact sheet with a row per effect, and a fade
in of the tone, written as a WAV file. Then the whole road of a clip: the colour bars saved
and loaded as PCX (rastunes), faded in over two seconds together with the tone (pannikel),
written as an AVI clip (clipvane, fade-in.avi) and read back onto a contact sheet of its
own. The modules are found next to kplhost. The material itself is written too, for trying
`kplhost effect` on.

Options:
  --out DIR    where to write (default: ./kpl-demo)
  -h, --help   show this help
)";

constexpr OptionSpec kOptions[] = {{"out"}};

enum class Material { kNone, kColourBars, kCheckerGradient, kTone, kBlueScreenSubject };

struct DemoRun {
  std::string_view label;   // the row label on the sheet, or the sound file's name
  std::string_view module;  // found next to kplhost
  std::string_view type;    // type name
  uint32_t flags;           // for piLocalInit
  Material first;
  Material second = Material::kNone;
  std::array<std::string_view, 3> settings = {};  // lines 0, 1, 2 for piLocalLoadData
};

using kpl::pifAtStart, kpl::pifAudio, kpl::pifOneClip, kpl::pifTwoClips, kpl::pifVideo;
constexpr DemoRun kDemoRuns[] = {
    {"Fade in", "pannikel", "Fade", pifVideo | pifOneClip | pifAtStart, Material::kColourBars},
    {"Cross fade", "pannikel", "Fade", pifVideo | pifTwoClips, Material::kColourBars,
     Material::kCheckerGradient},
    {"Sound fade in", "pannikel", "Fade", pifAudio | pifOneClip | pifAtStart, Material::kTone},
    {"Wipe", "pannikel", "Wipe", pifVideo | pifTwoClips, Material::kColourBars,
     Material::kCheckerGradient},
    {"Blue-screen key", "pannikel", "Blue-Screen", pifVideo | pifTwoClips,
     Material::kCheckerGradient, Material::kBlueScreenSubject},
    {"Push (90\xB0)",
     "transvella",
     "Push",
     pifVideo,
     Material::kColourBars,
     Material::kCheckerGradient,
     {"DEGREE=90"}},
    {"Slide In (45\xB0)",
     "transvella",
     "Slide",
     pifVideo,
     Material::kColourBars,
     Material::kCheckerGradient,
     {"DEGREE=45", "REVERSE=0"}},
    {"Curtain Slide Out (Hor.)",
     "transvella",
     "Curtain Slide",
     pifVideo,
     Material::kColourBars,
     Material::kCheckerGradient,
     {"DEGREE=0", "REVERSE=0"}},
    {"Chessboard (0\xB0,8x6)",
     "transvella",
     "Chessboard",
     pifVideo,
     Material::kColourBars,
     Material::kCheckerGradient,
     {"DEGREE=0", "WIDTH=8", "HEIGHT=6"}},
    {"Snake Wipe (270\xB0,8x6)",
     "transvella",
     "Snake Wipe",
     pifVideo,
     Material::kColourBars,
     Material::kCheckerGradient,
     {"DEGREE=270", "WIDTH=8", "HEIGHT=6"}},
};

constexpr int32_t kPictureWidth = 320, kPictureHeight = 240, kVideoSteps = 8;
constexpr double kToneHertz = 440, kToneSeconds = 2;
constexpr uint32_t kToneRate = 48000;
constexpr uint16_t kToneChannels = 2;

struct MaterialFile {
  Material material;
  std::string_view fileName;
};
constexpr MaterialFile kMaterialFiles[] = {
    {Material::kColourBars, "colour-bars.png"},
    {Material::kCheckerGradient, "checker-gradient.png"},
    {Material::kTone, "tone-440hz.wav"},
    {Material::kBlueScreenSubject, "blue-screen-subject.png"}};

bool isSound(Material material) {
  return material == Material::kTone;
}

RgbImage pictureOf(Material material) {
  switch (material) {
    case Material::kColourBars:
      return ColourBars(kPictureWidth, kPictureHeight);
    case Material::kBlueScreenSubject:
      return SubjectOnBlueScreen(kPictureWidth, kPictureHeight);
    default:
      return CheckerGradient(kPictureWidth, kPictureHeight);
  }
}

// The tone is the only sound material so far.
SoundClip soundOf(Material) {
  return SineTone(kToneHertz, kToneSeconds, kToneRate, kToneChannels);
}

// Loads each module once, however many runs use it.
class ModuleShelf {
 public:
  const Module& get(std::string_view name) {
    auto& slot = modules_[std::string(name)];
    if (!slot) slot = std::make_unique<Module>(ResolveModulePath(std::string(name)).string());
    return *slot;
  }

 private:
  std::map<std::string, std::unique_ptr<Module>> modules_;
};

EffectJob jobFor(const Module& module, const DemoRun& run) {
  EffectJob job;
  job.type = ResolveType(module, run.type);
  job.instanceFlags = run.flags;
  job.progressLabel = std::string(run.label);
  for (std::string_view line : run.settings)
    if (!line.empty()) job.settingsLines.emplace_back(line);
  return job;
}

SheetRow runVideo(const Module& module, const DemoRun& run) {
  EffectJob job = jobFor(module, run);
  job.steps = job.length = kVideoSteps;
  PictureClip first(pictureOf(run.first));
  std::optional<PictureClip> second;
  if (run.second != Material::kNone) second.emplace(pictureOf(run.second));
  SheetRow row{std::string(run.label), {}};
  RunVideoEffect(module, job, first, second ? &*second : nullptr,
                 [&](int32_t, RgbImage picture) { row.pictures.push_back(std::move(picture)); });
  return row;
}

SoundClip runSound(const Module& module, const DemoRun& run) {
  EffectJob job = jobFor(module, run);
  const SoundClip first = soundOf(run.first);
  std::optional<SoundClip> second;
  if (run.second != Material::kNone) second = soundOf(run.second);
  job.length = int32_t(first.frames());
  return RunSoundEffect(module, job, first, second ? &*second : nullptr, int32_t(first.sampleRate))
      .sound;
}

// The road of a clip through the modules: a picture saved and loaded as PCX, faded in over
// two seconds together with a tone, written as an AVI clip and read back onto a sheet.
constexpr int32_t kClipFrameRate = 25000, kClipFrames = 50, kClipSheetEvery = 5;
constexpr uint32_t kClipToneRate = 44100;  // a rate the AVI writer takes

void runClipRoad(ModuleShelf& modules, const std::filesystem::path& folder) {
  const Module& rastunes = modules.get("rastunes");
  const std::filesystem::path pcxPath = folder / "road-picture.pcx";
  const auto pcx = PictureTypeFor(FileTypesOf(rastunes), pcxPath.string(), kpl::pifWrite);
  if (!pcx) throw Failure("rastunes offers no type that writes " + pcxPath.string());
  WriteThroughModule(rastunes, *pcx, ColourBars(kPictureWidth, kPictureHeight), pcxPath.string());
  std::cout << "wrote   " << pcxPath.string() << " (colour bars as PCX, through rastunes)\n";
  const RgbImage picture = ReadThroughModule(rastunes, *pcx, pcxPath.string());

  const Module& pannikel = modules.get("pannikel");
  EffectJob soundJob;
  soundJob.type = ResolveType(pannikel, "Fade");
  soundJob.instanceFlags = pifAudio | pifOneClip | pifAtStart;
  soundJob.progressLabel = "Clip: sound fade in";
  const SoundClip tone = SineTone(kToneHertz, kToneSeconds, kClipToneRate, kToneChannels);
  soundJob.length = int32_t(tone.frames());
  const SoundClip sound =
      RunSoundEffect(pannikel, soundJob, tone, nullptr, int32_t(tone.sampleRate)).sound;

  const std::filesystem::path clipPath = folder / "fade-in.avi";
  AviWriter clip(clipPath.string(),
                 {kPictureWidth, kPictureHeight, kClipFrames, kClipFrameRate, sound});
  EffectJob videoJob;
  videoJob.type = soundJob.type;
  videoJob.instanceFlags = pifVideo | pifOneClip | pifAtStart;
  videoJob.steps = videoJob.length = kClipFrames;
  videoJob.progressLabel = "Clip: fade in";
  PictureClip still(picture);
  RunVideoEffect(pannikel, videoJob, still, nullptr,
                 [&](int32_t, RgbImage frame) { clip.addFrame(frame); });
  clip.finish();
  std::cout << "wrote   " << clipPath.string() << " (" << kClipFrames
            << " frames at 25 per second fading in, with the tone fading in, through clipvane)\n";

  AviReader reader(clipPath.string());
  SheetRow row{"Fade in (" + clipPath.filename().string() + ")", {}};
  for (int32_t frame = 0; frame < reader.frames(); frame += kClipSheetEvery)
    row.pictures.push_back(reader.frame(frame));
  const std::filesystem::path sheet = folder / "fade-in-avi.png";
  WritePng(sheet, ComposeContactSheet({row}));
  std::cout << "wrote   " << sheet.string() << " (contact sheet: every " << kClipSheetEvery
            << "th frame of the clip, read back through clipvane)\n";
}

void writeMaterial(const std::filesystem::path& folder) {
  for (const MaterialFile& file : kMaterialFiles) {
    const std::filesystem::path path = folder / file.fileName;
    if (isSound(file.material))
      WriteWav(path, soundOf(file.material));
    else
      WritePng(path, pictureOf(file.material));
    std::cout << "wrote   " << path.string() << " (material)\n";
  }
}

}  // namespace

int RunDemoCommand(std::span<const std::string> args) {
  const ParsedArgs parsed = ParseArgs("demo", args, kOptions);
  if (parsed.help) {
    std::cout << kUsage;
    return 0;
  }
  if (!parsed.positionals.empty())
    throw UsageError("demo: takes no arguments besides --out (see kplhost demo --help)");
  const std::filesystem::path folder = parsed.value("out").value_or("kpl-demo");
  EnsureParentDirectory(folder / "sheet.png");

  ModuleShelf modules;
  std::vector<SheetRow> rows;
  for (const DemoRun& run : kDemoRuns) {
    const Module& module = modules.get(run.module);
    if (!isSound(run.first)) {
      rows.push_back(runVideo(module, run));
      continue;
    }
    const std::filesystem::path path = folder / (FileNamePart(run.label) + ".wav");
    WriteWav(path, runSound(module, run));
    std::cout << "wrote   " << path.string() << " (" << run.label << ")\n";
  }
  if (!rows.empty()) {
    const std::filesystem::path sheet = folder / "sheet.png";
    WritePng(sheet, ComposeContactSheet(rows));
    std::cout << "wrote   " << sheet.string() << " (contact sheet: " << rows.size() << " effects, "
              << kVideoSteps << " steps each)\n";
  }
  runClipRoad(modules, folder);
  writeMaterial(folder);
  return 0;
}

}  // namespace kplhost
