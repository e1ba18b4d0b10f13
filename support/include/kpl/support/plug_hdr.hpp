#pragma once
// The plug-in calling interface: flag bits, truth values, the sound format record and the
// twenty exports every module offers.
#include <cstdint>

#if defined(__i386__)
#define KPL_CALL __attribute__((stdcall))
#else
#define KPL_CALL
#endif
#define KPL_EXPORT extern "C" __attribute__((visibility("default")))

namespace kpl {

inline constexpr uint32_t pifVideo = 0x1;
inline constexpr uint32_t pifAudio = 0x2;
inline constexpr uint32_t pifRead = 0x100;
inline constexpr uint32_t pifWrite = 0x200;
inline constexpr uint32_t pifOneClip = 0x400;
inline constexpr uint32_t pifTwoClips = 0x800;
inline constexpr uint32_t pifAtStart = 0x1000;
inline constexpr uint32_t pifAtEnd = 0x2000;
inline constexpr uint32_t pifDialog = 0x10000;
inline constexpr uint32_t pifLength = 0x20000;
inline constexpr uint32_t pifFormat = 0x40000;
inline constexpr uint32_t pifStream = 0x01000000;
inline constexpr uint32_t pifSoundFile = 0x02000000;
inline constexpr uint32_t pifLongFormat = 0x04000000;
inline constexpr uint32_t pifEffect = 0x10000000;
inline constexpr uint32_t pifFile = 0x40000000;

inline constexpr uint32_t kPlacementBits = pifOneClip | pifTwoClips | pifAtStart | pifAtEnd;

struct FlagName {
  uint32_t bit;
  const char* name;
};
inline constexpr FlagName kFlagNames[] = {
    {pifVideo, "pifVideo"},         {pifAudio, "pifAudio"},
    {pifRead, "pifRead"},           {pifWrite, "pifWrite"},
    {pifOneClip, "pifOneClip"},     {pifTwoClips, "pifTwoClips"},
    {pifAtStart, "pifAtStart"},     {pifAtEnd, "pifAtEnd"},
    {pifDialog, "pifDialog"},       {pifLength, "pifLength"},
    {pifFormat, "pifFormat"},       {pifStream, "pifStream"},
    {pifSoundFile, "pifSoundFile"}, {pifLongFormat, "pifLongFormat"},
    {pifEffect, "pifEffect"},       {pifFile, "pifFile"}};

// Instance calls answer -1 for true; piInit and piDone answer 1 in the low byte.
inline constexpr int32_t kTrue = -1;
inline constexpr int32_t kFalse = 0;
inline constexpr int32_t Truth(bool value) {
  return value ? kTrue : kFalse;
}

// Name buffers of the types hold 128 bytes, terminator included.
inline constexpr int kNameBufferBytes = 128;

#pragma pack(push, 1)
// The 16-byte PCM wave format a sound effect takes with piLocalSetFormat.
struct WaveFormat {
  uint16_t formatTag;
  uint16_t channels;
  uint32_t samplesPerSecond;
  uint32_t averageBytesPerSecond;
  uint16_t blockAlign;
  uint16_t bitsPerSample;
};
#pragma pack(pop)
static_assert(sizeof(WaveFormat) == 16);

}  // namespace kpl

// The twenty exports, declared once for the modules that define them and the hosts that
// look them up.
extern "C" {
using piCountFn = uint32_t KPL_CALL (*)();
using piInitFn = uint32_t KPL_CALL (*)(uint32_t type);
using piDoneFn = uint32_t KPL_CALL (*)(uint32_t type);
using piNameFn = const char* KPL_CALL (*)(uint32_t type);
using piFlagsFn = uint32_t KPL_CALL (*)(uint32_t type);
using piIconFn = uint32_t KPL_CALL (*)(uint32_t type, uint32_t index);
using piLocalInitFn = uint32_t KPL_CALL (*)(uint32_t type, uint32_t flags);
using piLocalDoneFn = int32_t KPL_CALL (*)(uint32_t type, uint32_t local);
using piLocalSetFormatFn = int32_t KPL_CALL (*)(uint32_t type, uint32_t local, const void* format);
using piLocalLengthFn = int32_t KPL_CALL (*)(uint32_t type, uint32_t local, int32_t length);
using piLocalDlgFn = int32_t KPL_CALL (*)(uint32_t type, uint32_t local, uint32_t parentWindow);
using piLocalFlagsFn = uint32_t KPL_CALL (*)(uint32_t type, uint32_t local);
using piLocalSetDataFn = int32_t KPL_CALL (*)(uint32_t type, uint32_t local, void* first,
                                              int32_t firstSize, void* second, int32_t secondSize);
using piLocalProcessDataStartFn = int32_t KPL_CALL (*)(uint32_t type, uint32_t local);
using piLocalProcessDataFn = int32_t KPL_CALL (*)(uint32_t type, uint32_t local);
using piLocalProcessDataEndFn = int32_t KPL_CALL (*)(uint32_t type, uint32_t local);
using piLocalGetDataFn = uint32_t KPL_CALL (*)(uint32_t type, uint32_t local);
using piLocalSaveDataFn = int32_t KPL_CALL (*)(uint32_t type, uint32_t local, int32_t index,
                                               char* text);
using piLocalLoadDataFn = int32_t KPL_CALL (*)(uint32_t type, uint32_t local, int32_t index,
                                               char* text);
using piLocalNameFn = const char* KPL_CALL (*)(uint32_t type, uint32_t local);
}
