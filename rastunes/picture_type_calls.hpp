#pragma once
// The single-image model: one instance block per picture read or written, format records and
// frames handed to the host, the pattern block when nothing else is there.
#include "file_types.hpp"
#include "kpl/support/tessal_plug.hpp"

namespace kpl::rastunes {

namespace picture_calls {
uint32_t NewInstance();
bool SetFormat(const Instance& i, const void* format, std::span<const uint16_t> depths);
bool SetData(const Instance& i, void* frame, int32_t size);
uint32_t GetData(const Instance& i, uint32_t firstIndex);
bool Load(const Instance& i, int32_t mode, const char* path, const PictureFormat& format);
bool Save(const Instance& i, int32_t mode, const char* path, const PictureFormat& format);
}  // namespace picture_calls

// A format without its codec yet answers 0 to every call that would configure, read or
// write a file.
template <const PictureFormat& Format>
const TypeOps& PictureType() {
  static constexpr TypeOps ops = {
      .blockBytes = sizeof(SingleImageBlock),
      .init = [](uint32_t) { return true; },
      .done = [](uint32_t) { return true; },
      .name = [](uint32_t v) { return TypeNameBuffer(Format.firstIndex + v); },
      .flags = [](uint32_t) { return kPictureTypeFlags; },
      .localInit = [](uint32_t, uint32_t) { return picture_calls::NewInstance(); },
      .setFormat =
          [](const Instance& i, const void* f) {
            return Format.readPicture && picture_calls::SetFormat(i, f, Format.saverDepths);
          },
      .setData =
          [](const Instance& i, void* first, int32_t size, void*, int32_t) {
            return Format.readPicture && picture_calls::SetData(i, first, size);
          },
      .processStart = [](const Instance&) { return Format.readPicture != nullptr; },
      .processEnd = [](const Instance&) { return Format.readPicture != nullptr; },
      .getData = [](const Instance& i) { return picture_calls::GetData(i, Format.firstIndex); },
      .saveData =
          [](const Instance& i, int32_t mode, char* path) {
            return Format.readPicture && picture_calls::Save(i, mode, path, Format);
          },
      .loadData =
          [](const Instance& i, int32_t mode, char* path) {
            return Format.readPicture && picture_calls::Load(i, mode, path, Format);
          },
      .localName = [](uint32_t v,
                      const Instance*) { return TypeNameBuffer(Format.firstIndex + v); },
  };
  return ops;
}

}  // namespace kpl::rastunes
