#pragma once
// Built-in material for the demo, made in code so the demo needs no files.
#include <cstdint>

#include "rgb_image.hpp"
#include "sound_clip.hpp"

namespace kplhost {

// Seven vertical bars: white, yellow, cyan, green, magenta, red, blue.
RgbImage ColourBars(int32_t width, int32_t height);
// A left-to-right gradient from orange to blue under a checkerboard of light and dark squares.
RgbImage CheckerGradient(int32_t width, int32_t height);
// A subject before a blue screen: a sun, a hill and a white frame over a key blue (blue 116 to
// 140, red and green below 12) that the default Blue-Screen key lets through.
RgbImage SubjectOnBlueScreen(int32_t width, int32_t height);
// A sine tone at half of full scale, 16-bit, the same in every channel.
SoundClip SineTone(double frequency, double seconds, uint32_t sampleRate, uint16_t channels);

}  // namespace kplhost
