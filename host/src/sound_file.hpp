#pragma once
// Sound files through a module's streaming sound type, as a host drives it: the format
// record of mode 0, then one block per piLocalLoadData or piLocalSaveData of mode 2.
#include <string>

#include "file_types.hpp"
#include "module_loader.hpp"
#include "sound_clip.hpp"

namespace kplhost {

// Throws Failure naming the type and the file.
SoundClip ReadSoundThroughModule(const Module& module, const FileType& type,
                                 const std::string& path);
void WriteSoundThroughModule(const Module& module, const FileType& type, const SoundClip& clip,
                             const std::string& path);

}  // namespace kplhost
