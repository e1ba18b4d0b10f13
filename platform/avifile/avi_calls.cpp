// The AVIFile and AVIStream calls: handle checks and the service lock around the objects.
#include <cstring>
#include <mutex>

#include "avi_objects.hpp"
#include "avi_writer.hpp"

using namespace kpl::avi;

namespace {

// Runs `call` under the service lock; a failure inside answers `failure`.
template <class Result, class Call>
Result serviced(Result failure, Call&& call) noexcept {
  try {
    std::lock_guard guard(serviceLock());
    return call();
  } catch (...) {
    return failure;
  }
}

bool liveFile(PAVIFILE file) {
  return isLive(file);
}
bool liveStream(PAVISTREAM stream) {
  return isLive(stream);
}

int initCount = 0;

}  // namespace

extern "C" {

void AVIFileInit(void) {
  serviced(0, [] { return ++initCount; });
}

void AVIFileExit(void) {
  serviced(0, [] { return initCount > 0 ? --initCount : 0; });
}

HRESULT AVIFileOpenA(PAVIFILE* file, const char* fileName, uint32_t mode, const void*) {
  if (!file) return AVIERR_BADPARAM;
  *file = nullptr;
  if (!fileName) return AVIERR_BADPARAM;
  return serviced(AVIERR_MEMORY, [&]() -> HRESULT {
    auto object = std::make_unique<AviFileObject>();
    if (mode & OF_CREATE) {
      if (!(mode & (OF_WRITE | OF_READWRITE))) return AVIERR_BADFLAGS;
      object->file = ByteFile::create(fileName);
      if (!object->file) return AVIERR_FILEOPEN;
      object->writer = std::make_unique<AviWriter>(*object->file);
      object->main.dwCaps = 3;  // can read and write
      std::strncpy(object->main.szFileType, "AVI", sizeof object->main.szFileType - 1);
    } else {
      if (mode & (OF_WRITE | OF_READWRITE)) return AVIERR_READONLY;  // files are created anew
      object->file = ByteFile::openForReading(fileName);
      if (!object->file) return AVIERR_FILEOPEN;
      ParsedAvi parsed;
      if (HRESULT result = parseAvi(*object->file, parsed); result != AVIERR_OK) return result;
      object->main = parsed.main;
      object->extras = std::move(parsed.extras);
      for (size_t i = 0; i < parsed.streams.size(); ++i)
        object->streams.push_back(
            std::make_unique<FileStream>(*object, i, std::move(parsed.streams[i])));
    }
    *file = object.release();
    return AVIERR_OK;
  });
}

uint32_t AVIFileAddRef(PAVIFILE file) {
  return serviced(0u, [&]() -> uint32_t { return liveFile(file) ? ++file->refs : 0; });
}

uint32_t AVIFileRelease(PAVIFILE file) {
  return serviced(0u, [&]() -> uint32_t { return liveFile(file) ? file->release() : 0; });
}

HRESULT AVIFileInfoA(PAVIFILE file, AVIFILEINFOA* info, int32_t infoBytes) {
  if (!info || infoBytes < 0) return AVIERR_BADPARAM;
  return serviced(AVIERR_INTERNAL, [&]() -> HRESULT {
    if (!liveFile(file)) return AVIERR_BADHANDLE;
    AVIFILEINFOA current = file->main;
    current.dwStreams = uint32_t(file->streams.size());
    if (file->writer) {
      for (const auto& stream : file->streams) {
        const auto& track = stream->track();
        if (track.info.fccType != streamtypeVIDEO) continue;
        current.dwScale = track.info.dwScale;
        current.dwRate = track.info.dwRate;
        current.dwLength = track.info.dwLength;
        if (track.format.size() >= 12) {
          std::memcpy(&current.dwWidth, track.format.data() + 4, 4);
          int32_t height;
          std::memcpy(&height, track.format.data() + 8, 4);
          current.dwHeight = uint32_t(height < 0 ? -int64_t(height) : height);
        }
        break;
      }
    }
    std::memcpy(info, &current, std::min(sizeof current, size_t(infoBytes)));
    return AVIERR_OK;
  });
}

HRESULT AVIFileGetStream(PAVIFILE file, PAVISTREAM* stream, FOURCC type, int32_t number) {
  if (!stream) return AVIERR_BADPARAM;
  *stream = nullptr;
  return serviced(AVIERR_INTERNAL, [&]() -> HRESULT {
    if (!liveFile(file)) return AVIERR_BADHANDLE;
    if (number < 0) return AVIERR_NODATA;
    int32_t seen = 0;
    for (const auto& candidate : file->streams) {
      if (type && candidate->track().info.fccType != type) continue;
      if (seen++ != number) continue;
      candidate->addRef();
      *stream = candidate.get();
      return AVIERR_OK;
    }
    return AVIERR_NODATA;
  });
}

HRESULT AVIFileCreateStreamA(PAVIFILE file, PAVISTREAM* stream, const AVISTREAMINFOA* info) {
  if (!stream) return AVIERR_BADPARAM;
  *stream = nullptr;
  if (!info) return AVIERR_BADPARAM;
  return serviced(AVIERR_MEMORY, [&]() -> HRESULT {
    if (!liveFile(file)) return AVIERR_BADHANDLE;
    if (!file->writer) return AVIERR_READONLY;
    if (file->streams.size() >= 100) return AVIERR_UNSUPPORTED;
    if (!file->writer->headersFit(file->streams, file->streams.size(), 40 + 256 * 4))
      return AVIERR_UNSUPPORTED;
    StreamTrack track;
    track.info = *info;
    track.info.szName[sizeof track.info.szName - 1] = 0;
    track.info.dwLength = 0;
    track.info.dwEditCount = track.info.dwFormatChangeCount = 0;
    track.setIndex({});
    auto created = std::make_unique<FileStream>(*file, file->streams.size(), std::move(track));
    created->addRef();
    *stream = created.get();
    file->streams.push_back(std::move(created));
    return AVIERR_OK;
  });
}

HRESULT AVIFileWriteData(PAVIFILE file, FOURCC chunkId, const void* data, int32_t bytes) {
  if (bytes < 0 || (!data && bytes > 0)) return AVIERR_BADPARAM;
  return serviced(AVIERR_MEMORY, [&]() -> HRESULT {
    if (!liveFile(file)) return AVIERR_BADHANDLE;
    if (!file->writer) return AVIERR_READONLY;
    return file->writer->addExtra(chunkId, data, uint32_t(bytes));
  });
}

HRESULT AVIFileReadData(PAVIFILE file, FOURCC chunkId, void* data, int32_t* bytes) {
  if (!bytes || *bytes < 0) return AVIERR_BADPARAM;
  return serviced(AVIERR_INTERNAL, [&]() -> HRESULT {
    if (!liveFile(file)) return AVIERR_BADHANDLE;
    for (const auto& extra : file->extras) {
      if (extra.id != chunkId) continue;
      if (extra.size > 0x7FFFFFFF) return AVIERR_FILEREAD;
      const int32_t size = int32_t(extra.size);
      if (!data) {
        *bytes = size;
        return AVIERR_OK;
      }
      const int32_t copied = std::min(*bytes, size);
      if (!file->file->readAt(extra.data, data, size_t(copied))) return AVIERR_FILEREAD;
      *bytes = size;
      return copied < size ? AVIERR_BUFFERTOOSMALL : AVIERR_OK;
    }
    return AVIERR_NODATA;
  });
}

uint32_t AVIStreamAddRef(PAVISTREAM stream) {
  return serviced(0u, [&]() -> uint32_t { return liveStream(stream) ? stream->addRef() : 0; });
}

uint32_t AVIStreamRelease(PAVISTREAM stream) {
  return serviced(0u, [&]() -> uint32_t { return liveStream(stream) ? stream->release() : 0; });
}

HRESULT AVIStreamInfoA(PAVISTREAM stream, AVISTREAMINFOA* info, int32_t infoBytes) {
  if (!info || infoBytes < 0) return AVIERR_BADPARAM;
  return serviced(AVIERR_INTERNAL, [&]() -> HRESULT {
    if (!liveStream(stream)) return AVIERR_BADHANDLE;
    const AVISTREAMINFOA current = stream->info();
    std::memcpy(info, &current, std::min(sizeof current, size_t(infoBytes)));
    return AVIERR_OK;
  });
}

int32_t AVIStreamStart(PAVISTREAM stream) {
  return serviced(-1, [&] { return liveStream(stream) ? stream->start() : -1; });
}

int32_t AVIStreamLength(PAVISTREAM stream) {
  return serviced(-1, [&] { return liveStream(stream) ? stream->length() : -1; });
}

HRESULT AVIStreamSetFormat(PAVISTREAM stream, int32_t position, const void* format, int32_t bytes) {
  return serviced(AVIERR_MEMORY, [&]() -> HRESULT {
    if (!liveStream(stream)) return AVIERR_BADHANDLE;
    return stream->setFormat(position, format, bytes);
  });
}

HRESULT AVIStreamReadFormat(PAVISTREAM stream, int32_t position, void* format, int32_t* bytes) {
  return serviced(AVIERR_INTERNAL, [&]() -> HRESULT {
    if (!liveStream(stream)) return AVIERR_BADHANDLE;
    return stream->readFormat(position, format, bytes);
  });
}

HRESULT AVIStreamRead(PAVISTREAM stream, int32_t start, int32_t samples, void* buffer,
                      int32_t bufferBytes, int32_t* bytesRead, int32_t* samplesRead) {
  return serviced(AVIERR_FILEREAD, [&]() -> HRESULT {
    if (!liveStream(stream)) return AVIERR_BADHANDLE;
    return stream->read(start, samples, buffer, bufferBytes, bytesRead, samplesRead);
  });
}

HRESULT AVIStreamWrite(PAVISTREAM stream, int32_t start, int32_t samples, const void* buffer,
                       int32_t bufferBytes, uint32_t flags, int32_t* samplesWritten,
                       int32_t* bytesWritten) {
  return serviced(AVIERR_FILEWRITE, [&]() -> HRESULT {
    if (!liveStream(stream)) return AVIERR_BADHANDLE;
    return stream->write(start, samples, buffer, bufferBytes, flags, samplesWritten, bytesWritten);
  });
}

int32_t AVIStreamIsKeyFrame(PAVISTREAM stream, int32_t position) {
  return serviced(0, [&] { return liveStream(stream) && stream->isKeyFrame(position) ? 1 : 0; });
}

}  // extern "C"
