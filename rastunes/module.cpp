// The picture formats of the module and the routing of the type table.
#include <cstring>

#include "alias.hpp"
#include "file_types.hpp"
#include "kpl/support/plug_hdr.hpp"
#include "pcx.hpp"
#include "sgi.hpp"
#include "targa.hpp"

namespace kpl::rastunes {
namespace {

constexpr uint16_t kPcxDepths[] = {1, 4, 8, 24};
constexpr uint16_t kTargaDepths[] = {8, 24};
constexpr uint16_t kAliasDepths[] = {24};

constexpr PictureFormat kPcx = {0, kPcxDepths, ReadPcxHeader, ReadPcxPicture, WritePcxPicture};
constexpr PictureFormat kTarga = {1, kTargaDepths, ReadTargaHeader, ReadTargaPicture,
                                  WriteTargaPicture};
constexpr PictureFormat kAlias = {2, kAliasDepths, ReadAliasHeader, ReadAliasPicture,
                                  WriteAliasPicture};
// SGI makes its format record before it judges the header.
constexpr PictureFormat kSgi = {
    4, {}, ReadSgiHeader, ReadSgiPicture, WriteSgiPicture, SgiRecordedSize};

const TypeRange kRanges[] = {
    {0, 0, &PictureType<kPcx>()},
    {1, 1, &PictureType<kTarga>()},
    {2, 3, &PictureType<kAlias>()},
    {4, 7, &PictureType<kSgi>()},
    {8, 9, &AiffType()},
};

// The names are copied into module-wide buffers when the module starts.
struct NameBuffers {
  char text[kTypeCount][kNameBufferBytes] = {};
  NameBuffers() {
    for (uint32_t i = 0; i < kTypeCount; ++i)
      std::strncpy(text[i], kFileTypes[i].name, kNameBufferBytes - 1);
  }
};
NameBuffers names;

}  // namespace

const char* TypeNameBuffer(uint32_t index) {
  return index < kTypeCount ? names.text[index] : nullptr;
}

}  // namespace kpl::rastunes

namespace kpl {

const ModuleTable& ThisModule() {
  static const ModuleTable table{rastunes::kTypeCount, rastunes::kRanges};
  return table;
}

const ModuleResources& ThisModuleResources() {
  static const ModuleResources resources{nullptr, 0, nullptr, 0};
  return resources;
}

}  // namespace kpl
