#pragma once
// AIFF sound files: the 80-bit sample rate, the header parse (chunks in any order, odd
// chunks padded) and the 54-byte header of the files written.
#include <cstddef>
#include <cstdint>
#include <optional>

namespace kpl::rastunes::aiff {

inline constexpr size_t kHeaderBytes = 54;

// A whole-number rate as an 80-bit extended number, most significant byte first.
void EncodeRate(uint32_t rate, uint8_t out[10]);
// The stored rate truncated toward zero; 0 for negative numbers, none when it does not fit
// in 30 bits (a rate no block size could hold).
std::optional<uint32_t> DecodeRate(const uint8_t in[10]);

struct Layout {
  uint16_t channels;
  uint32_t sampleFrames;
  uint16_t bitsPerSample;
  uint32_t sampleRate;
  uint32_t dataStart;  // file offset of the first sample byte
  uint64_t dataEnd;    // where the sound data ends: the end of the SSND chunk
};

// Reads the headers of an open file: "FORM" and "AIFF", then chunks until a usable COMM
// (1 or 2 channels of 8 or 16 bits) and an SSND chunk are found; none for anything else.
std::optional<Layout> Parse(int fd);

// The header before `dataBytes` of sample data: FORM, COMM and SSND.
void BuildHeader(uint16_t channels, uint32_t sampleFrames, uint16_t bitsPerSample,
                 uint32_t sampleRate, uint32_t dataBytes, uint8_t out[kHeaderBytes]);

// Little-endian host PCM (8-bit unsigned, 16-bit signed) to big-endian signed file samples
// and back; the same swap or flip each way. An odd last byte of 16-bit sound stays as it is.
void ConvertSamples(const uint8_t* in, uint8_t* out, size_t bytes, uint16_t bitsPerSample);

}  // namespace kpl::rastunes::aiff
