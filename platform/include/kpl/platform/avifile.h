#pragma once
// AVI file services: RIFF chunk navigation for probing files, AVI files with their video and
// audio streams, a frame decoder that hands out each frame as a packed bitmap, and compressed
// streams that encode frames on the way into a file. Codecs come from libavcodec: the decoder
// knows whatever it knows by four-character code; the compressors include "cvid", "MSVC",
// "MJPG" and uncompressed ("DIB ", or a handler of 0).
//
// Reading understands AVI 1.0 files with an idx1 index and OpenDML files (indx / ix## indexes,
// RIFF AVIX extensions, larger than 1 GiB). Writing produces AVI 1.0 files with an idx1 index.
//
// Files and streams are reference-counted objects, as the OS's are: every Open/Get/Create hands
// out one reference, every Release gives one back, and a file is finished and closed when its
// last reference (including those its streams hold) is released.
#include <cstdint>
#include <cstdio>

#include "kpl/platform/api.h"
#include "kpl/platform/bitmaps.h"

using FOURCC = uint32_t;
using HRESULT = int32_t;

constexpr FOURCC mmioFOURCC(char a, char b, char c, char d) {
  return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16 |
         uint32_t(uint8_t(d)) << 24;
}

inline constexpr FOURCC streamtypeVIDEO = mmioFOURCC('v', 'i', 'd', 's');
inline constexpr FOURCC streamtypeAUDIO = mmioFOURCC('a', 'u', 'd', 's');
inline constexpr FOURCC FOURCC_RIFF = mmioFOURCC('R', 'I', 'F', 'F');
inline constexpr FOURCC FOURCC_LIST = mmioFOURCC('L', 'I', 'S', 'T');

// ---------------------------------------------------------------------------------------------
// Multimedia file I/O: buffered reading of RIFF files, chunk by chunk.

struct MmioFile;
using HMMIO = MmioFile*;
using MMRESULT = uint32_t;

inline constexpr MMRESULT MMSYSERR_NOERROR = 0;
inline constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
inline constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
inline constexpr MMRESULT MMIOERR_CHUNKNOTFOUND = 265;
inline constexpr MMRESULT MMIOERR_CANNOTREAD = 259;
inline constexpr MMRESULT MMIOERR_CANNOTSEEK = 261;

// Open modes (combinable).
inline constexpr uint32_t MMIO_READ = 0x0000;
inline constexpr uint32_t MMIO_DENYWRITE = 0x0020;
inline constexpr uint32_t MMIO_ALLOCBUF = 0x00010000;

// Descend flags: which chunk to look for.
inline constexpr uint32_t MMIO_FINDCHUNK = 0x0010;  // ckid
inline constexpr uint32_t MMIO_FINDRIFF = 0x0020;   // "RIFF" with fccType
inline constexpr uint32_t MMIO_FINDLIST = 0x0040;   // "LIST" with fccType

struct MMCKINFO {
  FOURCC ckid = 0;
  uint32_t cksize = 0;
  FOURCC fccType = 0;         // form or list type of RIFF and LIST chunks
  uint32_t dwDataOffset = 0;  // file offset of the chunk's data
  uint32_t dwFlags = 0;
};

extern "C" {

// Opens `fileName` for reading; null on failure. `info` is accepted and ignored.
KPL_PLATFORM_API HMMIO mmioOpenA(const char* fileName, void* info, uint32_t flags);
KPL_PLATFORM_API MMRESULT mmioClose(HMMIO file, uint32_t flags);
// `origin` is SEEK_SET, SEEK_CUR or SEEK_END. Returns the new position, or -1.
KPL_PLATFORM_API int32_t mmioSeek(HMMIO file, int32_t offset, int32_t origin);
// Returns the bytes read (0 at the end), or -1.
KPL_PLATFORM_API int32_t mmioRead(HMMIO file, char* buffer, int32_t bytes);
// Finds the next chunk (from the current position, never past the end of `parent` when given)
// whose identifier (and for RIFF/LIST, type) matches `chunk` as `flags` ask; without a flag the
// next chunk of any kind. On success the position is at the chunk's data and `chunk` describes it.
KPL_PLATFORM_API MMRESULT mmioDescend(HMMIO file, MMCKINFO* chunk, const MMCKINFO* parent,
                                      uint32_t flags);
// Moves past the end of `chunk` (and its pad byte).
KPL_PLATFORM_API MMRESULT mmioAscend(HMMIO file, MMCKINFO* chunk, uint32_t flags);

}  // extern "C"

// ---------------------------------------------------------------------------------------------
// AVI files and streams.

struct AviFileObject;
struct AviStreamObject;
struct AviFrameDecoder;
using PAVIFILE = AviFileObject*;
using PAVISTREAM = AviStreamObject*;
using PGETFRAME = AviFrameDecoder*;

inline constexpr HRESULT AVIERR_OK = 0;
inline constexpr HRESULT AVIERR_UNSUPPORTED = int32_t(0x80044065);
inline constexpr HRESULT AVIERR_BADFORMAT = int32_t(0x80044066);
inline constexpr HRESULT AVIERR_MEMORY = int32_t(0x80044067);
inline constexpr HRESULT AVIERR_INTERNAL = int32_t(0x80044068);
inline constexpr HRESULT AVIERR_BADFLAGS = int32_t(0x80044069);
inline constexpr HRESULT AVIERR_BADPARAM = int32_t(0x8004406A);
inline constexpr HRESULT AVIERR_BADSIZE = int32_t(0x8004406B);
inline constexpr HRESULT AVIERR_BADHANDLE = int32_t(0x8004406C);
inline constexpr HRESULT AVIERR_FILEREAD = int32_t(0x8004406D);
inline constexpr HRESULT AVIERR_FILEWRITE = int32_t(0x8004406E);
inline constexpr HRESULT AVIERR_FILEOPEN = int32_t(0x8004406F);
inline constexpr HRESULT AVIERR_COMPRESSOR = int32_t(0x80044070);
inline constexpr HRESULT AVIERR_NOCOMPRESSOR = int32_t(0x80044071);
inline constexpr HRESULT AVIERR_READONLY = int32_t(0x80044072);
inline constexpr HRESULT AVIERR_NODATA = int32_t(0x80044073);
inline constexpr HRESULT AVIERR_BUFFERTOOSMALL = int32_t(0x80044074);
inline constexpr HRESULT AVIERR_CANTCOMPRESS = int32_t(0x80044075);

// AVIFileOpenA modes (combinable).
inline constexpr uint32_t OF_READ = 0x0000;
inline constexpr uint32_t OF_WRITE = 0x0001;
inline constexpr uint32_t OF_READWRITE = 0x0002;
inline constexpr uint32_t OF_SHARE_DENY_WRITE = 0x0020;
inline constexpr uint32_t OF_CREATE = 0x1000;

// Sample flags.
inline constexpr uint32_t AVIIF_KEYFRAME = 0x0010;

// AVICOMPRESSOPTIONS flags.
inline constexpr uint32_t AVICOMPRESSF_INTERLEAVE = 0x01;
inline constexpr uint32_t AVICOMPRESSF_DATARATE = 0x02;
inline constexpr uint32_t AVICOMPRESSF_KEYFRAMES = 0x04;
inline constexpr uint32_t AVICOMPRESSF_VALID = 0x08;

// AVIStreamRead: `samples` of this value read as many whole samples as fit.
inline constexpr int32_t AVISTREAMREAD_CONVENIENT = -1;

struct RECT {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// Stream description (140 bytes).
struct AVISTREAMINFOA {
  FOURCC fccType = 0;
  FOURCC fccHandler = 0;
  uint32_t dwFlags = 0;
  uint32_t dwCaps = 0;
  uint16_t wPriority = 0;
  uint16_t wLanguage = 0;
  uint32_t dwScale = 0;
  uint32_t dwRate = 0;  // dwRate / dwScale = samples per second
  uint32_t dwStart = 0;
  uint32_t dwLength = 0;  // in samples
  uint32_t dwInitialFrames = 0;
  uint32_t dwSuggestedBufferSize = 0;
  uint32_t dwQuality = 0;
  uint32_t dwSampleSize = 0;  // 0: samples of varying size (video)
  RECT rcFrame;
  uint32_t dwEditCount = 0;
  uint32_t dwFormatChangeCount = 0;
  char szName[64] = {};
};
static_assert(sizeof(AVISTREAMINFOA) == 140);

// Compression options of one stream (44 bytes where addresses are 32 bits wide).
struct AVICOMPRESSOPTIONS {
  FOURCC fccType = 0;
  FOURCC fccHandler = 0;  // compressor; 0 or "DIB ": none
  uint32_t dwKeyFrameEvery = 0;
  uint32_t dwQuality = 0;  // 0..10000, or 0xFFFFFFFF for the compressor's default
  uint32_t dwBytesPerSecond = 0;
  uint32_t dwFlags = 0;  // AVICOMPRESSF_*
  void* lpFormat = nullptr;
  uint32_t cbFormat = 0;
  void* lpParms = nullptr;
  uint32_t cbParms = 0;
  uint32_t dwInterleaveEvery = 0;
};

// Main file information.
struct AVIFILEINFOA {
  uint32_t dwMaxBytesPerSec = 0;
  uint32_t dwFlags = 0;
  uint32_t dwCaps = 0;
  uint32_t dwStreams = 0;
  uint32_t dwSuggestedBufferSize = 0;
  uint32_t dwWidth = 0;
  uint32_t dwHeight = 0;
  uint32_t dwScale = 0;
  uint32_t dwRate = 0;
  uint32_t dwLength = 0;
  uint32_t dwEditCount = 0;
  char szFileType[64] = {};
};

extern "C" {

// Start and end of the services; counted, so nested pairs are fine. The other calls work
// without them too.
KPL_PLATFORM_API void AVIFileInit(void);
KPL_PLATFORM_API void AVIFileExit(void);

// Opens an existing file (OF_READ, OF_SHARE_DENY_WRITE) or creates a new one (OF_CREATE |
// OF_WRITE or OF_READWRITE; an existing file is replaced). `handler` is ignored.
KPL_PLATFORM_API HRESULT AVIFileOpenA(PAVIFILE* file, const char* fileName, uint32_t mode,
                                      const void* handler);
KPL_PLATFORM_API uint32_t AVIFileAddRef(PAVIFILE file);
// Gives back one reference; the last one finishes a written file (headers, index) and closes
// it. Answers the references left.
KPL_PLATFORM_API uint32_t AVIFileRelease(PAVIFILE file);
KPL_PLATFORM_API HRESULT AVIFileInfoA(PAVIFILE file, AVIFILEINFOA* info, int32_t infoBytes);
// The `number`-th stream (from 0) of type `type`, or of any type when `type` is 0.
KPL_PLATFORM_API HRESULT AVIFileGetStream(PAVIFILE file, PAVISTREAM* stream, FOURCC type,
                                          int32_t number);
// Adds a stream to a file opened for writing, described by `info`.
KPL_PLATFORM_API HRESULT AVIFileCreateStreamA(PAVIFILE file, PAVISTREAM* stream,
                                              const AVISTREAMINFOA* info);
// Extra data chunks of the file: written after the streams' headers when the file is finished
// (a "LIST" chunk's data begins with its list type); read back by identifier.
KPL_PLATFORM_API HRESULT AVIFileWriteData(PAVIFILE file, FOURCC chunkId, const void* data,
                                          int32_t bytes);
// `*bytes` holds the buffer size in and the chunk's size out; AVIERR_BUFFERTOOSMALL when short.
KPL_PLATFORM_API HRESULT AVIFileReadData(PAVIFILE file, FOURCC chunkId, void* data, int32_t* bytes);

KPL_PLATFORM_API uint32_t AVIStreamAddRef(PAVISTREAM stream);
KPL_PLATFORM_API uint32_t AVIStreamRelease(PAVISTREAM stream);
KPL_PLATFORM_API HRESULT AVIStreamInfoA(PAVISTREAM stream, AVISTREAMINFOA* info, int32_t infoBytes);
KPL_PLATFORM_API int32_t AVIStreamStart(PAVISTREAM stream);
KPL_PLATFORM_API int32_t AVIStreamLength(PAVISTREAM stream);
// The stream's format (a BITMAPINFOHEADER with its palette, or a wave format): set before the
// first sample is written (position 0); read at any position. With `format` null ReadFormat
// only answers the size in `*bytes`.
KPL_PLATFORM_API HRESULT AVIStreamSetFormat(PAVISTREAM stream, int32_t position, const void* format,
                                            int32_t bytes);
KPL_PLATFORM_API HRESULT AVIStreamReadFormat(PAVISTREAM stream, int32_t position, void* format,
                                             int32_t* bytes);
// Reads `samples` samples from `start` into `buffer` (at most `bufferBytes`); with `buffer`
// null only the sizes are answered. `bytesRead` and `samplesRead` may be null.
KPL_PLATFORM_API HRESULT AVIStreamRead(PAVISTREAM stream, int32_t start, int32_t samples,
                                       void* buffer, int32_t bufferBytes, int32_t* bytesRead,
                                       int32_t* samplesRead);
// Appends `samples` samples at `start` (the stream's current end); `flags` AVIIF_KEYFRAME
// marks a key frame. Through a compressed stream the data are one uncompressed frame in the
// format set on it.
KPL_PLATFORM_API HRESULT AVIStreamWrite(PAVISTREAM stream, int32_t start, int32_t samples,
                                        const void* buffer, int32_t bufferBytes, uint32_t flags,
                                        int32_t* samplesWritten, int32_t* bytesWritten);
// Whether sample `position` is a key frame (every sample of an audio stream is).
KPL_PLATFORM_API int32_t AVIStreamIsKeyFrame(PAVISTREAM stream, int32_t position);

// Frame decoder: hands out each frame of a video stream as a packed bitmap (header, palette,
// pixels) that stays valid until the next call on the decoder. `wanted` null lets the decoder
// choose (the stream's own uncompressed form, else 24 bits per pixel).
KPL_PLATFORM_API PGETFRAME AVIStreamGetFrameOpen(PAVISTREAM stream, const BITMAPINFOHEADER* wanted);
KPL_PLATFORM_API void* AVIStreamGetFrame(PGETFRAME decoder, int32_t position);
KPL_PLATFORM_API HRESULT AVIStreamGetFrameClose(PGETFRAME decoder);

// A stream that compresses uncompressed frames written to it with `options` and writes them to
// `source` (a video stream of a file being written). `handler` is ignored.
KPL_PLATFORM_API HRESULT AVIMakeCompressedStream(PAVISTREAM* compressed, PAVISTREAM source,
                                                 const AVICOMPRESSOPTIONS* options,
                                                 const void* handler);

}  // extern "C"
