// kplhost effect: one effect type run over the user's pictures or sound.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <limits>
#include <memory>

#include "arg_parser.hpp"
#include "avi_clip.hpp"
#include "commands.hpp"
#include "contact_sheet.hpp"
#include "errors.hpp"
#include "module_types.hpp"
#include "paths.hpp"
#include "picture_clip.hpp"
#include "png_io.hpp"
#include "sound_effect.hpp"
#include "video_effect.hpp"
#include "wav_io.hpp"

namespace kplhost {
namespace {

constexpr std::string_view kUsage = R"(Usage: kplhost effect MODULE TYPE --in PATH [options]

Runs one effect type of a module as a host does (piInit, piLocalInit, settings, one
piLocalSetData / piLocalProcessData / piLocalGetData per step, ...) and writes the results.

MODULE is a path to a .kpl file, or a bare module name (pannikel) found next to kplhost.
TYPE is a type index (0) or a type name in any case (fade).

Input:
  --in PATH        the clip: a PNG picture (reused for every step), a numbered PNG
                   sequence such as frames/%03d.png (numbered from 0 or 1), an .avi clip
                   (read through clipvane: its frames and its sound), or a .wav sound
                   (8-bit or 16-bit PCM; other sample formats are converted to 16-bit)
  --in2 PATH       a second clip of the same kind, for effects between two clips
Run:
  --flags N        instance flag bits, e.g. 0x1400 fade in, 0x2400 fade out, 0x800 cross
                   fade; hexadecimal after 0x, else decimal. pifVideo or pifAudio is added
                   to match the input
  --length N       the length for piLocalLength (default: the steps for video, the sample
                   frames of the sound)
  --steps N        video: steps to run (default: --length, else the pictures of a
                   sequence, else 8)
  --block N        sound: sample frames per step (default: one second)
  --set KEY=VALUE  a settings line for piLocalLoadData; repeat it for lines 1, 2, ...
Output:
  --out PATH       video: a numbered PNG per step, e.g. out/step%03d.png (steps from 0),
                   or an .avi clip written through clipvane at the frame rate of an .avi
                   input (else 25 per second); the sound of an .avi input goes through
                   the effect too when the type takes sound, else it is kept as it is;
                   sound: one WAV file of all result blocks, in the sample format the
                   module was given
  --sheet PATH     video: all steps on one PNG contact sheet
  -h, --help       show this help

Exit status: 0 done, 1 the run failed, 2 the command line is wrong.
)";

constexpr OptionSpec kOptions[] = {{"in"},    {"in2"},       {"flags"}, {"length"}, {"steps"},
                                   {"block"}, {"set", true}, {"out"},   {"sheet"}};
constexpr int32_t kDefaultSteps = 8;
constexpr int32_t kDefaultFrameRate = 25000;  // frames per 1000 seconds

std::string FramesPerSecond(int32_t frameRate) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", frameRate / 1000.0);
  return text;
}

bool isSoundPath(const std::string& path) {
  std::string extension = std::filesystem::path(path).extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  return extension == ".wav";
}

// The command line, checked before any file is touched.
struct EffectOptions {
  std::string module, type, in;
  std::optional<std::string> in2, out, sheet;
  bool sound = false;
  uint32_t flags = 0;
  std::optional<int32_t> length, steps, block;
  std::vector<std::string> settings;
};

EffectOptions readOptions(const ParsedArgs& parsed) {
  auto usage = [](const std::string& message) {
    return UsageError("effect: " + message + " (see kplhost effect --help)");
  };
  if (parsed.positionals.size() != 2) throw usage("name a MODULE and a TYPE");
  EffectOptions options;
  options.module = parsed.positionals[0];
  options.type = parsed.positionals[1];
  const auto in = parsed.value("in");
  if (!in) throw usage("give the input clip with --in");
  options.in = *in;
  options.sound = isSoundPath(options.in);
  options.in2 = parsed.value("in2");
  if (options.in2 && isSoundPath(*options.in2) != options.sound)
    throw usage("--in and --in2 must both be pictures or both be sound");
  for (const char* videoOnly : {"steps", "sheet"})
    if (options.sound && parsed.has(videoOnly))
      throw usage(std::string("--") + videoOnly + " is for picture input");
  if (!options.sound && parsed.has("block")) throw usage("--block is for sound input");

  try {
    if (const auto text = parsed.value("flags")) options.flags = ParseFlagWord(*text, "--flags");
    if (const auto text = parsed.value("length")) options.length = ParseCount(*text, "--length");
    if (const auto text = parsed.value("steps")) options.steps = ParseCount(*text, "--steps");
    if (const auto text = parsed.value("block")) options.block = ParseCount(*text, "--block");
  } catch (const UsageError& error) {
    throw usage(error.what());
  }
  options.flags |= options.sound ? kpl::pifAudio : kpl::pifVideo;
  options.settings = parsed.values("set");
  for (const std::string& line : options.settings)
    if (line.find('=') == std::string::npos)
      throw usage("--set takes KEY=VALUE, not '" + line + "'");
  options.out = parsed.value("out");
  options.sheet = parsed.value("sheet");
  if (options.out && !options.sound && !NumberedPath::Parse(*options.out) &&
      !IsAviPath(*options.out))
    throw usage(
        "--out for pictures needs a step number in it, such as out/step%03d.png, or to be an "
        ".avi clip");
  return options;
}

void printOutcome(const Module& module, const EffectJob& job, const EffectOutcome& outcome) {
  std::cout << "ran     " << TypeName(module, job.type) << " (type " << job.type << "), "
            << outcome.steps << (outcome.steps == 1 ? " step" : " steps") << ", length "
            << job.length << ", instance flags " << HexWord(job.instanceFlags) << "\nname    "
            << DisplayText(outcome.instanceName) << "\n";
  for (size_t i = 0; i < outcome.savedLines.size(); ++i)
    std::cout << "saved   " << i << ": " << DisplayText(outcome.savedLines[i]) << "\n";
}

// The sound of a clip written as AVI: the first clip's, through the effect when the type takes
// sound (with the second clip's sound when it matches), else as it is.
std::optional<SoundClip> ClipSound(const Module& module, const EffectJob& videoJob,
                                   const EffectOptions& options, PictureClip& first,
                                   PictureClip* second) {
  if (!first.avi() || !first.avi()->hasSound()) return std::nullopt;
  SoundClip sound = first.avi()->sound();
  if (sound.frames() == 0 || !(module.piFlags(videoJob.type) & kpl::pifAudio)) return sound;
  std::optional<SoundClip> other;
  if (second && second->avi() && second->avi()->hasSound()) {
    other = second->avi()->sound();
    if (!other->sameFormat(sound)) {
      Warn("the two clips' sounds differ in format; the first clip's sound is kept as it is");
      return sound;
    }
  }
  if ((second || (options.flags & kpl::pifTwoClips)) && !other) {
    Warn("the second clip has no sound to join; the first clip's sound is kept as it is");
    return sound;
  }
  EffectJob job = videoJob;
  job.instanceFlags = (options.flags & ~kpl::pifVideo) | kpl::pifAudio;
  job.length = int32_t(std::min<int64_t>(sound.frames(), std::numeric_limits<int32_t>::max()));
  job.progressLabel = videoJob.progressLabel + " (sound)";
  const SoundRun run =
      RunSoundEffect(module, job, sound, other ? &*other : nullptr, int32_t(sound.sampleRate));
  printOutcome(module, job, run.outcome);
  return run.sound;
}

// The picture-input run: steps from the options or the clips.
void runVideo(const Module& module, EffectJob job, const EffectOptions& options) {
  PictureClip first = PictureClip::Open(options.in);
  std::optional<PictureClip> second;
  if (options.in2) second = PictureClip::Open(*options.in2);
  std::optional<int32_t> sequence = first.sequenceLength();
  if (!sequence && second) sequence = second->sequenceLength();
  job.steps = options.steps.value_or(options.length.value_or(sequence.value_or(kDefaultSteps)));
  job.length = options.length.value_or(job.steps);
  for (const auto* clip : {&first, second ? &*second : nullptr})
    if (clip && clip->sequenceLength() && *clip->sequenceLength() < job.steps)
      throw UsageError("effect: " + std::to_string(job.steps) +
                       " steps need more pictures than the " +
                       std::to_string(*clip->sequenceLength()) + " of the input sequence");

  const bool aviOut = options.out && IsAviPath(*options.out);
  const std::optional<NumberedPath> stepFiles =
      options.out && !aviOut ? NumberedPath::Parse(*options.out) : std::nullopt;
  if (stepFiles) EnsureParentDirectory(stepFiles->at(0));
  std::optional<SoundClip> sound;
  if (aviOut) sound = ClipSound(module, job, options, first, second ? &*second : nullptr);
  const int32_t frameRate = first.avi() ? first.avi()->format().frameRate : kDefaultFrameRate;
  std::unique_ptr<AviWriter> clip;
  SheetRow row;
  auto keep = [&](int32_t step, RgbImage picture) {
    if (stepFiles) WritePng(stepFiles->at(uint32_t(step)), picture);
    if (aviOut) {
      if (!clip)
        clip = std::make_unique<AviWriter>(
            *options.out, AviLayout{picture.width(), picture.height(), job.steps,
                                    frameRate > 0 ? frameRate : kDefaultFrameRate, sound});
      clip->addFrame(picture);
    }
    if (options.sheet) row.pictures.push_back(std::move(picture));
  };
  const EffectOutcome outcome =
      RunVideoEffect(module, job, first, second ? &*second : nullptr, keep);
  printOutcome(module, job, outcome);
  if (clip) {
    clip->finish();
    std::cout << "wrote   " << *options.out << " (" << job.steps << " frames at "
              << FramesPerSecond(frameRate > 0 ? frameRate : kDefaultFrameRate) << " per second"
              << (sound ? ", " + std::to_string(sound->frames()) + " sample frames of sound" : "")
              << ")\n";
  }

  if (stepFiles)
    std::cout << "wrote   " << stepFiles->at(0) << " .. " << stepFiles->at(uint32_t(job.steps - 1))
              << " (" << job.steps << " step pictures)\n";
  if (options.sheet) {
    row.label = outcome.instanceName.empty() ? TypeName(module, job.type) : outcome.instanceName;
    EnsureParentDirectory(*options.sheet);
    WritePng(*options.sheet, ComposeContactSheet({row}));
    std::cout << "wrote   " << *options.sheet << " (contact sheet)\n";
  }
}

void runSound(const Module& module, EffectJob job, const EffectOptions& options) {
  const SoundClip first = ReadWav(options.in);
  std::optional<SoundClip> second;
  if (options.in2) second = ReadWav(*options.in2);
  if (!options.length && first.frames() > std::numeric_limits<int32_t>::max())
    throw Failure("the sound is too long for a 32-bit length; give --length");
  job.length = options.length.value_or(int32_t(first.frames()));
  const int32_t block = options.block.value_or(int32_t(first.sampleRate));
  const SoundRun run = RunSoundEffect(module, job, first, second ? &*second : nullptr, block);
  printOutcome(module, job, run.outcome);

  if (options.out) {
    EnsureParentDirectory(*options.out);
    WriteWav(*options.out, run.sound);
    std::cout << "wrote   " << *options.out << " (" << run.sound.frames() << " sample frames, "
              << run.sound.channels << " channels, " << run.sound.sampleRate << " Hz, "
              << run.sound.bitsPerSample << "-bit)\n";
  }
}

}  // namespace

int RunEffectCommand(std::span<const std::string> args) {
  const ParsedArgs parsed = ParseArgs("effect", args, kOptions);
  if (parsed.help) {
    std::cout << kUsage;
    return 0;
  }
  const EffectOptions options = readOptions(parsed);
  const Module module(ResolveModulePath(options.module).string());
  EffectJob job;
  job.type = ResolveType(module, options.type);
  job.instanceFlags = options.flags;
  job.settingsLines = options.settings;
  job.progressLabel = TypeName(module, job.type);
  if (options.sound)
    runSound(module, std::move(job), options);
  else
    runVideo(module, std::move(job), options);
  if (!options.out && !options.sheet) std::cout << "wrote   nothing (give --out or --sheet)\n";
  return 0;
}

}  // namespace kplhost
