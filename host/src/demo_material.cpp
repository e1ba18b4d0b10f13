#include "demo_material.hpp"

#include <cmath>
#include <numbers>

namespace kplhost {

RgbImage ColourBars(int32_t width, int32_t height) {
  static constexpr Rgb kBars[] = {{255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {0, 255, 0},
                                  {255, 0, 255},   {255, 0, 0},   {0, 0, 255}};
  constexpr int32_t kCount = int32_t(std::size(kBars));
  RgbImage image(width, height);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      image.at(x, y) = kBars[x * kCount / width];
  return image;
}

RgbImage CheckerGradient(int32_t width, int32_t height) {
  constexpr int32_t kSquare = 20;
  RgbImage image(width, height);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      const double along = width > 1 ? double(x) / (width - 1) : 0.0;
      const double light = ((x / kSquare + y / kSquare) % 2) ? 1.0 : 0.6;
      image.at(x, y) = {uint8_t(std::lround(light * 255 * (1 - along))),
                        uint8_t(std::lround(light * 140 * (1 - along))),
                        uint8_t(std::lround(light * 255 * along))};
    }
  return image;
}

SoundClip SineTone(double frequency, double seconds, uint32_t sampleRate, uint16_t channels) {
  SoundClip clip{channels, sampleRate, 16, {}};
  const int64_t frames = std::llround(seconds * sampleRate);
  clip.pcm.reserve(size_t(frames) * clip.frameBytes());
  for (int64_t i = 0; i < frames; ++i) {
    const double phase = 2 * std::numbers::pi * frequency * double(i) / sampleRate;
    const auto sample = uint16_t(int16_t(std::lround(16383 * std::sin(phase))));
    for (uint16_t c = 0; c < channels; ++c) {
      clip.pcm.push_back(uint8_t(sample));
      clip.pcm.push_back(uint8_t(sample >> 8));
    }
  }
  return clip;
}

}  // namespace kplhost
