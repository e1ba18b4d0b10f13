#pragma once
// WAV files through libsndfile. 8-bit unsigned and 16-bit signed PCM are read as they are;
// every other sample format the library reads is converted to 16-bit.
#include <filesystem>

#include "sound_clip.hpp"

namespace kplhost {

// Throws Failure naming the file and the reason.
SoundClip ReadWav(const std::filesystem::path& path);
// Writes the clip as a WAV file in its own sample format.
void WriteWav(const std::filesystem::path& path, const SoundClip& clip);

}  // namespace kplhost
