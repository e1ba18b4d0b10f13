// kplhost convert: a picture or a sound from one file format to another through a module's
// file types, each chosen by its pattern; PNG and WAV files are read and written by kplhost
// itself.
#include <cstring>
#include <iostream>

#include "arg_parser.hpp"
#include "commands.hpp"
#include "errors.hpp"
#include "file_types.hpp"
#include "host_frame.hpp"
#include "kpl/platform/blocks.hpp"
#include "kpl/platform/memory.h"
#include "kpl/support/tessal_plug.hpp"
#include "module_types.hpp"
#include "paths.hpp"
#include "picture_files.hpp"
#include "png_io.hpp"
#include "sound_file.hpp"
#include "type_session.hpp"
#include "wav_io.hpp"

namespace kplhost {
namespace {

constexpr std::string_view kUsage = R"(Usage: kplhost convert IN OUT [--module MODULE]

Converts a picture or a sound. Each file's type is chosen by its name: the first file type
of the module whose pattern matches it reads IN or writes OUT, as a host does. Pictures:
piLocalLoadData modes 0 and 1; piLocalSetFormat, piLocalSetData and piLocalSaveData mode 0.
Sound, through a streaming type such as AIFF: piLocalLoadData mode 0, then one block of a
second per piLocalLoadData mode 2; piLocalSetFormat with the clip's length, then one block
per piLocalSetData and piLocalSaveData mode 2. Names ending in .png (pictures) and .wav
(sound) are read and written by kplhost itself. 'kplhost info MODULE' lists the patterns.

Options:
  --module MODULE  the module whose file types are used (default: rastunes); a path to a
                   .kpl file or a bare module name found next to kplhost
  -h, --help       show this help

Exit status: 0 done, 1 the conversion failed, 2 the command line is wrong.
)";

constexpr OptionSpec kOptions[] = {{"module"}};

bool isPng(const std::string& path) {
  return PatternMatches("*.png", std::filesystem::path(path).filename().string());
}

bool isWav(const std::string& path) {
  return PatternMatches("*.wav", std::filesystem::path(path).filename().string());
}

std::string patternsOf(const std::vector<FileType>& types, uint32_t direction) {
  std::string list = "*.png";
  for (const FileType& type : types)
    if ((type.flags & kpl::pifVideo) && (type.flags & direction) && !type.pattern.empty())
      list += " " + type.pattern;
  list += " *.wav";
  for (const FileType& type : types)
    if (!(type.flags & kpl::pifVideo) && (type.flags & kpl::pifAudio) && (type.flags & direction) &&
        !type.pattern.empty())
      list += " " + type.pattern;
  return list;
}

// A sound from a WAV file or a sound type to a WAV file or a sound type.
int convertSound(const Module& module, const std::string& in, const std::optional<FileType>& reader,
                 const std::string& out, const std::optional<FileType>& writer) {
  const SoundClip clip = reader ? ReadSoundThroughModule(module, *reader, in) : ReadWav(in);
  if (writer)
    WriteSoundThroughModule(module, *writer, clip, out);
  else {
    EnsureParentDirectory(out);
    WriteWav(out, clip);
  }
  std::cout << in << " (" << (reader ? reader->name : "WAV") << ") -> " << out << " ("
            << (writer ? writer->name : "WAV") << "), " << clip.frames() << " sample frames, "
            << clip.bitsPerSample << "-bit, " << clip.channels
            << (clip.channels == 1 ? " channel, " : " channels, ") << clip.sampleRate << " Hz\n";
  return 0;
}

}  // namespace

int RunConvertCommand(std::span<const std::string> args) {
  const ParsedArgs parsed = ParseArgs("convert", args, kOptions);
  if (parsed.help) {
    std::cout << kUsage;
    return 0;
  }
  if (parsed.positionals.size() != 2)
    throw UsageError("convert: name IN and OUT (see kplhost convert --help)");
  const std::string& in = parsed.positionals[0];
  const std::string& out = parsed.positionals[1];
  const Module module(ResolveModulePath(parsed.value("module").value_or("rastunes")).string());
  const std::vector<FileType> types = FileTypesOf(module);

  const auto reader = PictureTypeFor(types, in, kpl::pifRead);
  const auto writer = PictureTypeFor(types, out, kpl::pifWrite);
  const auto soundReader = SoundTypeFor(types, in, kpl::pifRead);
  const auto soundWriter = SoundTypeFor(types, out, kpl::pifWrite);
  const bool pictureIn = reader || isPng(in), pictureOut = writer || isPng(out);
  const bool soundIn = soundReader || isWav(in), soundOut = soundWriter || isWav(out);
  if (!pictureIn && !soundIn)
    throw UsageError("convert: no file type reads '" + in +
                     "' (patterns: " + patternsOf(types, kpl::pifRead) + ")");
  if (!pictureOut && !soundOut)
    throw UsageError("convert: no file type writes '" + out +
                     "' (patterns: " + patternsOf(types, kpl::pifWrite) + ")");
  if (soundIn && soundOut) return convertSound(module, in, soundReader, out, soundWriter);
  if (!pictureIn || !pictureOut)
    throw UsageError("convert: '" + in + "' and '" + out +
                     "' are not both pictures or both sounds");

  const RgbImage image = reader ? ReadThroughModule(module, *reader, in) : ReadPng(in);
  if (writer)
    WriteThroughModule(module, *writer, image, out);
  else {
    EnsureParentDirectory(out);
    WritePng(out, image);
  }
  std::cout << in << " (" << (reader ? reader->name : "PNG") << ") -> " << out << " ("
            << (writer ? writer->name : "PNG") << "), " << image.width() << " x " << image.height()
            << "\n";
  return 0;
}

}  // namespace kplhost
