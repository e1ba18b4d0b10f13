#pragma once
// The reference-counted objects behind the AVI handles: files, their streams, and the streams
// and decoders made on top of them. All calls run under one lock (avi::serviceLock).
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "avi_parse.hpp"
#include "byte_file.hpp"
#include "kpl/platform/avifile.h"
#include "stream_track.hpp"

namespace kpl::avi {

class AviWriter;
class FileStream;

std::recursive_mutex& serviceLock();
// The objects handed out and not yet destroyed, so that a stale or foreign handle is refused.
void registerLive(const void* object);
void forgetLive(const void* object);
bool isLive(const void* object);

}  // namespace kpl::avi

struct AviFileObject {
  AviFileObject();
  ~AviFileObject();
  uint32_t refs = 1;  // the caller's, plus one for every stream with references out
  std::unique_ptr<kpl::avi::ByteFile> file;
  AVIFILEINFOA main;
  std::vector<std::unique_ptr<kpl::avi::FileStream>> streams;
  std::vector<kpl::avi::ExtraChunk> extras;     // reading
  std::unique_ptr<kpl::avi::AviWriter> writer;  // null when reading

  uint32_t release();  // destroys the object (finishing a written file) at 0
};

struct AviStreamObject {
  virtual ~AviStreamObject() = default;
  uint32_t refs = 0;

  virtual uint32_t addRef() = 0;
  virtual uint32_t release() = 0;
  virtual AVISTREAMINFOA info() const = 0;
  virtual int32_t start() const = 0;
  virtual int32_t length() const = 0;
  virtual HRESULT setFormat(int32_t position, const void* format, int32_t bytes) = 0;
  virtual HRESULT readFormat(int32_t position, void* format, int32_t* bytes) = 0;
  virtual HRESULT read(int32_t start, int32_t samples, void* buffer, int32_t bufferBytes,
                       int32_t* bytesRead, int32_t* samplesRead) = 0;
  virtual HRESULT write(int32_t start, int32_t samples, const void* buffer, int32_t bufferBytes,
                        uint32_t flags, int32_t* samplesWritten, int32_t* bytesWritten) = 0;
  virtual bool isKeyFrame(int32_t position) const = 0;
  // The stream whose chunks hold this stream's data, for the frame decoder; null if none.
  virtual kpl::avi::FileStream* stored() = 0;
};

namespace kpl::avi {

class FileStream final : public AviStreamObject {
 public:
  FileStream(AviFileObject& file, size_t number, StreamTrack track);
  uint32_t addRef() override;
  uint32_t release() override;
  AVISTREAMINFOA info() const override { return track_.info; }
  int32_t start() const override { return int32_t(track_.info.dwStart & 0x7FFFFFFF); }
  int32_t length() const override { return int32_t(track_.info.dwLength); }
  HRESULT setFormat(int32_t position, const void* format, int32_t bytes) override;
  HRESULT readFormat(int32_t position, void* format, int32_t* bytes) override;
  HRESULT read(int32_t start, int32_t samples, void* buffer, int32_t bufferBytes,
               int32_t* bytesRead, int32_t* samplesRead) override;
  HRESULT write(int32_t start, int32_t samples, const void* buffer, int32_t bufferBytes,
                uint32_t flags, int32_t* samplesWritten, int32_t* bytesWritten) override;
  bool isKeyFrame(int32_t position) const override;
  FileStream* stored() override { return this; }

  StreamTrack& track() { return track_; }
  const StreamTrack& track() const { return track_; }
  size_t number() const { return number_; }
  AviFileObject& file() { return file_; }
  // Reads one whole sample (a video frame) of a varying-size stream, counted from the start.
  bool readSample(int64_t sample, std::vector<uint8_t>& data) const;
  // The same straight into `out` when the sample holds exactly `bytes` bytes; false otherwise
  // (nothing read).
  bool readSampleInto(int64_t sample, uint8_t* out, size_t bytes) const;
  // The compressor writing through this stream names itself in the stream header.
  void setHandler(FOURCC handler) { track_.info.fccHandler = handler; }

 private:
  AviFileObject& file_;
  size_t number_;
  StreamTrack track_;
};

}  // namespace kpl::avi
