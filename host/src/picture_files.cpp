#include "picture_files.hpp"

#include <cstring>
#include <vector>

#include "errors.hpp"
#include "host_frame.hpp"
#include "kpl/platform/blocks.hpp"
#include "kpl/platform/memory.h"
#include "kpl/support/tessal_plug.hpp"
#include "paths.hpp"
#include "type_session.hpp"

namespace kplhost {
namespace {

// Frees a block the module handed over, once the host is done with it.
struct HandedBlock {
  uint32_t handle;
  ~HandedBlock() {
    if (handle) GlobalFree(handle);
  }
};

}  // namespace

RgbImage ReadThroughModule(const Module& module, const FileType& type, const std::string& path) {
  const TypeSession session(module, type.index);
  const uint32_t local = module.piLocalInit(type.index, kpl::pifRead | kpl::pifVideo);
  if (!local) throw Failure(type.name + ": no instance to read " + path);
  struct Done {
    const Module& m;
    uint32_t type, local;
    ~Done() { m.piLocalDone(type, local); }
  } done{module, type.index, local};
  std::vector<char> name = FileNameArgument(path);
  if (module.piLocalLoadData(type.index, local, 0, name.data()) != kpl::kTrue)
    throw Failure(path + " is not a file " + type.name + " can read");
  const HandedBlock record{module.piLocalGetData(type.index, local)};
  if (module.piLocalLoadData(type.index, local, 1, name.data()) != kpl::kTrue)
    throw Failure(type.name + " could not read the picture in " + path);
  const HandedBlock frame{module.piLocalGetData(type.index, local)};
  kpl::BlockLock lock(frame.handle);
  if (!lock || frame.handle == record.handle)
    throw Failure(type.name + " handed out no frame for " + path);
  return ImageFromFrame({lock.as<uint8_t>(), GlobalSize(frame.handle)});
}

void WriteThroughModule(const Module& module, const FileType& type, const RgbImage& image,
                        const std::string& path) {
  const TypeSession session(module, type.index);
  const uint32_t local = module.piLocalInit(type.index, kpl::pifWrite | kpl::pifVideo);
  if (!local) throw Failure(type.name + ": no instance to write " + path);
  struct Done {
    const Module& m;
    uint32_t type, local;
    ~Done() { m.piLocalDone(type, local); }
  } done{module, type.index, local};
  const HostFrame frame(image);
  kpl::FormatRecord format{};
  format.flags = kpl::pifVideo;
  format.frameCount = 1;
  std::memcpy(&format.video, frame.address(), sizeof format.video);
  if (module.piLocalSetFormat(type.index, local, &format) != kpl::kTrue)
    throw Failure(type.name + " refused the format of a " + std::to_string(image.width()) + " x " +
                  std::to_string(image.height()) + " 24-bit picture");
  module.piLocalSetData(type.index, local, frame.address(), frame.bytes(), nullptr, 0);
  EnsureParentDirectory(path);
  std::vector<char> name = FileNameArgument(path);
  if (module.piLocalSaveData(type.index, local, 0, name.data()) != kpl::kTrue)
    throw Failure(type.name + " could not write " + path);
}

}  // namespace kplhost
