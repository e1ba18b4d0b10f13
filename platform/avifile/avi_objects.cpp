#include "avi_objects.hpp"

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "avi_writer.hpp"

namespace kpl::avi {

namespace {

std::unordered_set<const void*>& liveObjects() {
  static std::unordered_set<const void*> objects;
  return objects;
}

}  // namespace

std::recursive_mutex& serviceLock() {
  static std::recursive_mutex lock;
  return lock;
}

void registerLive(const void* object) {
  liveObjects().insert(object);
}
void forgetLive(const void* object) {
  liveObjects().erase(object);
}
bool isLive(const void* object) {
  return object && liveObjects().count(object);
}

FileStream::FileStream(AviFileObject& file, size_t number, StreamTrack track)
    : file_(file), number_(number), track_(std::move(track)) {
  registerLive(this);
}

uint32_t FileStream::addRef() {
  if (refs++ == 0) ++file_.refs;
  return refs;
}

uint32_t FileStream::release() {
  if (refs == 0) return 0;
  if (--refs) return refs;
  file_.release();  // may destroy this stream with its file
  return 0;
}

HRESULT FileStream::setFormat(int32_t position, const void* format, int32_t bytes) {
  if (!file_.writer) return AVIERR_READONLY;
  if (!format || bytes <= 0 || bytes > (1 << 20)) return AVIERR_BADPARAM;
  auto* p = static_cast<const uint8_t*>(format);
  std::vector<uint8_t> wanted(p, p + bytes);
  if (wanted == track_.format) return AVIERR_OK;
  // Samples already written were written in the old format.
  if (!track_.index().empty() || position > 0) return AVIERR_UNSUPPORTED;
  if (!file_.writer->headersFit(file_.streams, number_, wanted.size())) return AVIERR_UNSUPPORTED;
  track_.format = std::move(wanted);
  return AVIERR_OK;
}

HRESULT FileStream::readFormat(int32_t, void* format, int32_t* bytes) {
  if (!bytes) return AVIERR_BADPARAM;
  const int32_t size = int32_t(track_.format.size());
  if (!format) {
    *bytes = size;
    return AVIERR_OK;
  }
  if (*bytes < 0) return AVIERR_BADPARAM;
  const int32_t copied = std::min(*bytes, size);
  std::memcpy(format, track_.format.data(), size_t(copied));
  *bytes = size;
  return copied < size ? AVIERR_BUFFERTOOSMALL : AVIERR_OK;
}

HRESULT FileStream::read(int32_t start, int32_t samples, void* buffer, int32_t bufferBytes,
                         int32_t* bytesRead, int32_t* samplesRead) {
  if (bytesRead) *bytesRead = 0;
  if (samplesRead) *samplesRead = 0;
  if (buffer && bufferBytes < 0) return AVIERR_BADPARAM;
  const int64_t first = int64_t(start) - this->start();
  if (first < 0 || first >= track_.length()) return AVIERR_NODATA;
  const uint32_t sampleBytes = track_.sampleBytes();
  int64_t count = 1;
  if (sampleBytes) {
    const int64_t left = track_.length() - first;
    if (samples == AVISTREAMREAD_CONVENIENT || samples <= 0) {
      count = buffer ? bufferBytes / sampleBytes : left;
    } else {
      count = samples;
      if (buffer) count = std::min<int64_t>(count, bufferBytes / sampleBytes);
    }
    count = std::min(count, left);
    // Never more than a buffer's worth can be reported in 32 bits.
    count = std::min<int64_t>(count, 0x7FFFFFFF / sampleBytes);
    if (count <= 0) return AVIERR_BUFFERTOOSMALL;
  }
  std::vector<StreamTrack::Piece> pieces;
  if (!track_.locate(first, count, pieces)) return AVIERR_NODATA;
  uint64_t total = 0;
  for (const auto& piece : pieces)
    total += piece.bytes;
  if (buffer) {
    if (total > uint64_t(bufferBytes)) return AVIERR_BUFFERTOOSMALL;
    auto* out = static_cast<uint8_t*>(buffer);
    for (const auto& piece : pieces) {
      if (!file_.file->readAt(piece.offset, out, piece.bytes)) return AVIERR_FILEREAD;
      out += piece.bytes;
    }
  }
  if (bytesRead) *bytesRead = int32_t(total);
  if (samplesRead) *samplesRead = int32_t(count);
  return AVIERR_OK;
}

bool FileStream::readSample(int64_t sample, std::vector<uint8_t>& data) const {
  std::vector<StreamTrack::Piece> pieces;
  if (track_.sampleBytes() || !track_.locate(sample, 1, pieces)) return false;
  data.resize(pieces[0].bytes);
  return file_.file->readAt(pieces[0].offset, data.data(), data.size());
}

bool FileStream::readSampleInto(int64_t sample, uint8_t* out, size_t bytes) const {
  std::vector<StreamTrack::Piece> pieces;
  if (track_.sampleBytes() || !track_.locate(sample, 1, pieces) || pieces[0].bytes != bytes)
    return false;
  return file_.file->readAt(pieces[0].offset, out, bytes);
}

HRESULT FileStream::write(int32_t start, int32_t samples, const void* buffer, int32_t bufferBytes,
                          uint32_t flags, int32_t* samplesWritten, int32_t* bytesWritten) {
  if (samplesWritten) *samplesWritten = 0;
  if (bytesWritten) *bytesWritten = 0;
  if (!file_.writer) return AVIERR_READONLY;
  if (bufferBytes < 0 || (!buffer && bufferBytes > 0) || samples < 0) return AVIERR_BADPARAM;
  // Samples are appended: `start` names the stream's end (or -1 for wherever that is).
  if (start != -1 && int64_t(start) != this->start() + track_.length()) return AVIERR_BADPARAM;
  const uint32_t sampleBytes = track_.sampleBytes();
  uint64_t bytes = uint64_t(bufferBytes);
  if (sampleBytes) {
    // Whole samples only: a partial one at the end would shift every later sample.
    bytes = uint64_t(samples) * sampleBytes;
    if (bytes > uint64_t(bufferBytes)) return AVIERR_BADSIZE;
  } else if (samples != 1) {
    return AVIERR_BADPARAM;
  }
  HRESULT result = file_.writer->writeSample(*this, buffer, uint32_t(bytes),
                                             sampleBytes || (flags & AVIIF_KEYFRAME));
  if (result != AVIERR_OK) return result;
  if (samplesWritten) *samplesWritten = samples;
  if (bytesWritten) *bytesWritten = int32_t(bytes);
  return AVIERR_OK;
}

bool FileStream::isKeyFrame(int32_t position) const {
  return track_.isKey(int64_t(position) - start());
}

}  // namespace kpl::avi

AviFileObject::AviFileObject() {
  kpl::avi::registerLive(this);
}

AviFileObject::~AviFileObject() {
  kpl::avi::forgetLive(this);
  for (const auto& stream : streams)
    kpl::avi::forgetLive(stream.get());
}

uint32_t AviFileObject::release() {
  if (refs == 0) return 0;
  if (--refs) return refs;
  std::unique_ptr<AviFileObject> owned(this);
  if (writer) writer->finish(streams);
  return 0;
}
