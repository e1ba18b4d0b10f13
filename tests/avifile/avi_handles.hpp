#pragma once
// Owning wrappers of AVI handles for tests.
#include <memory>

#include "kpl/platform/avifile.h"

namespace avitest {

struct FileReleaser {
  void operator()(AviFileObject* file) const { AVIFileRelease(file); }
};
struct StreamReleaser {
  void operator()(AviStreamObject* stream) const { AVIStreamRelease(stream); }
};
struct DecoderCloser {
  void operator()(AviFrameDecoder* decoder) const { AVIStreamGetFrameClose(decoder); }
};
using AviFile = std::unique_ptr<AviFileObject, FileReleaser>;
using AviStream = std::unique_ptr<AviStreamObject, StreamReleaser>;
using FrameDecoder = std::unique_ptr<AviFrameDecoder, DecoderCloser>;

inline AviFile openAvi(const std::string& path) {
  PAVIFILE file = nullptr;
  AVIFileOpenA(&file, path.c_str(), OF_READ | OF_SHARE_DENY_WRITE, nullptr);
  return AviFile(file);
}

inline AviFile createAvi(const std::string& path) {
  PAVIFILE file = nullptr;
  AVIFileOpenA(&file, path.c_str(), OF_CREATE | OF_READWRITE, nullptr);
  return AviFile(file);
}

inline AviStream getStream(const AviFile& file, FOURCC type, int number) {
  PAVISTREAM stream = nullptr;
  AVIFileGetStream(file.get(), &stream, type, number);
  return AviStream(stream);
}

inline AviStream createStream(const AviFile& file, const AVISTREAMINFOA& info) {
  PAVISTREAM stream = nullptr;
  AVIFileCreateStreamA(file.get(), &stream, &info);
  return AviStream(stream);
}

}  // namespace avitest
