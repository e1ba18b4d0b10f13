#pragma once
// Where modules and outputs live.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kplhost {

// The folder holding the running kplhost, where its plug-ins sit.
std::filesystem::path ExecutableDirectory();

// A path to a module file as given, or a bare name (no '/', no ".kpl") resolved to NAME.kpl
// next to kplhost. Throws Failure when the file does not exist.
std::filesystem::path ResolveModulePath(const std::string& module);

// Creates the folder an output file goes into, so "--out new/dir/step%03d.png" just works.
void EnsureParentDirectory(const std::filesystem::path& file);

// A name made safe for a file name: "Blue-Screen" -> "blue-screen", "Sound fade in" ->
// "sound-fade-in".
std::string FileNamePart(std::string_view name);

// A file name as the modules' calls take it: a writable, zero-terminated copy.
std::vector<char> FileNameArgument(const std::string& path);

}  // namespace kplhost
