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

RgbImage SubjectOnBlueScreen(int32_t width, int32_t height) {
  RgbImage image(width, height);
  const double cx = width * 0.35, cy = height * 0.4, radius = std::min(width, height) * 0.22;
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      // An uneven screen, as lit studio screens are, but within the key's tolerance.
      Rgb pixel{uint8_t((x * 7 + y * 3) % 12), uint8_t((x * 5 + y * 11) % 12),
                uint8_t(116 + 24 * y / std::max(1, height - 1))};
      const double dx = x - cx, dy = y - cy;
      if (dx * dx + dy * dy <= radius * radius)
        pixel = {255, uint8_t(std::lround(170 - 50 * dy / radius)), 40};  // the sun
      const double hill =
          height * (0.95 - 0.25 * std::exp(-std::pow((x - width * 0.7) / (width * 0.2), 2)));
      if (y >= hill) pixel = {40, 150, 60};
      const int32_t border = std::max(1, width / 80);
      if (x < border || y < border || x >= width - border || y >= height - border)
        pixel = {255, 255, 255};
      image.at(x, y) = pixel;
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
