// kplhost info: what a module offers.
#include <filesystem>
#include <iostream>
#include <vector>

#include "arg_parser.hpp"
#include "commands.hpp"
#include "errors.hpp"
#include "kpl/platform/module_language.h"
#include "file_types.hpp"
#include "kpl/platform/resources.h"
#include "module_loader.hpp"
#include "module_types.hpp"
#include "paths.hpp"
#include "png_io.hpp"
#include "type_session.hpp"

namespace kplhost {
namespace {

constexpr std::string_view kUsage = R"(Usage: kplhost info MODULE [--icons DIR]

Lists the types of a plug-in module: the piCount answer, the language a module with a
language table chose for its texts and the offset it adds to its string ids, then for every
type its index, name, flag word (in hexadecimal and by bit name) and the number of icons it
offers; a file type also shows its file pattern (as 'kplhost convert' matches file names
against it).

MODULE is a path to a .kpl file, or a bare module name (pannikel) found next to kplhost.

Options:
  --icons DIR   also write every type's icons into DIR as PNG pictures
  -h, --help    show this help
)";

constexpr OptionSpec kOptions[] = {{"icons"}};
constexpr uint32_t kIconSlots = 9;  // piIcon indexes 0 to 8

// Throws Failure for an icon handle the platform does not know.
RgbImage iconPicture(uint32_t icon) {
  int32_t width = 0, height = 0;
  if (!GetIconSize(icon, &width, &height) || width <= 0 || height <= 0 || width > 1024 ||
      height > 1024)
    throw Failure("icon handle " + HexWord(icon) + " is not a usable icon");
  std::vector<uint32_t> colours(size_t(width) * size_t(height));
  if (!GetIconPixels(icon, colours.data(), colours.size()))
    throw Failure("cannot read the pixels of icon " + HexWord(icon));
  RgbImage picture(width, height);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      const uint32_t colour = colours[size_t(y) * size_t(width) + size_t(x)];  // r | g<<8 | b<<16
      picture.at(x, y) = {uint8_t(colour), uint8_t(colour >> 8), uint8_t(colour >> 16)};
    }
  return picture;
}

// Counts the type's icons between piInit and piDone, writing them to `iconFolder` if given.
// None when piInit refuses the type.
std::optional<int> countIcons(const Module& module, uint32_t type,
                              const std::optional<std::filesystem::path>& iconFolder,
                              std::vector<std::filesystem::path>& written) {
  const TypeSession session(module, type);
  if (!session.started()) return std::nullopt;

  int count = 0;
  for (uint32_t index = 0; index < kIconSlots; ++index) {
    const uint32_t icon = module.piIcon(type, index);
    if (!icon) continue;
    ++count;
    if (!iconFolder) continue;
    const std::filesystem::path file =
        *iconFolder / ("type" + std::to_string(type) + "-" + FileNamePart(TypeName(module, type)) +
                       "-icon" + std::to_string(index) + ".png");
    WritePng(file, iconPicture(icon));
    written.push_back(file);
  }
  return count;
}

}  // namespace

int RunInfoCommand(std::span<const std::string> args) {
  const ParsedArgs parsed = ParseArgs("info", args, kOptions);
  if (parsed.help) {
    std::cout << kUsage;
    return 0;
  }
  if (parsed.positionals.size() != 1)
    throw UsageError(std::string("info: ") +
                     (parsed.positionals.empty() ? "name a MODULE" : "takes one MODULE") +
                     " (see kplhost info --help)");
  std::optional<std::filesystem::path> iconFolder;
  if (const auto folder = parsed.value("icons")) {
    iconFolder = *folder;
    EnsureParentDirectory(*iconFolder / "icon.png");
  }

  const Module module(ResolveModulePath(parsed.positionals[0]).string());
  const uint32_t count = module.piCount();
  std::cout << "module  " << module.path() << "\npiCount " << count << "\n";
  char language[10] = {};
  int32_t languageOffset = 0;
  if (GetModuleLanguage(module.path().c_str(), language, sizeof language, &languageOffset))
    std::cout << "language " << language << ", string offset " << languageOffset << "\n";
  std::vector<std::filesystem::path> written;
  for (uint32_t type = 0; type < count; ++type) {
    const uint32_t flags = module.piFlags(type);
    std::cout << "\ntype " << type << "  " << TypeName(module, type) << "\n  flags "
              << HexWord(flags) << "  " << FlagBitNames(flags) << "\n  icons ";
    const std::optional<int> icons = countIcons(module, type, iconFolder, written);
    if (icons)
      std::cout << *icons << "\n";
    else
      std::cout << "? (piInit refused the type)\n";
    if (flags & kpl::pifFile) {
      const TypeSession session(module, type);
      const std::string pattern = FilePatternOf(module, type);
      std::cout << "  pattern " << (pattern.empty() ? "(none)" : pattern) << "\n";
    }
  }
  if (iconFolder)
    std::cout << "\nwrote " << written.size() << " icon pictures to " << iconFolder->string()
              << "\n";
  return 0;
}

}  // namespace kplhost
