#include "stream_track.hpp"

#include <algorithm>

#include "le_bytes.hpp"

namespace kpl::avi {

uint32_t StreamTrack::sampleBytes() const {
  if (info.dwSampleSize) return info.dwSampleSize;
  // Sound is counted in blocks even where the header leaves the sample size out.
  if (info.fccType == streamtypeAUDIO && format.size() >= 14) return le16(format.data() + 12);
  return 0;
}

void StreamTrack::setIndex(std::vector<IndexEntry> entries) {
  index_ = std::move(entries);
  recount();
}

void StreamTrack::recount() {
  bytesBefore_.clear();
  keys_.clear();
  if (sampleBytes()) {
    bytesBefore_.reserve(index_.size() + 1);
    uint64_t total = 0;
    for (const auto& entry : index_) {
      bytesBefore_.push_back(total);
      total += entry.size;
    }
    bytesBefore_.push_back(total);
  } else {
    for (size_t i = 0; i < index_.size(); ++i)
      if (index_[i].key) keys_.push_back(int64_t(i));
  }
  info.dwLength = uint32_t(std::min<int64_t>(length(), 0x7FFFFFFF));
}

void StreamTrack::append(const IndexEntry& entry) {
  index_.push_back(entry);
  if (sampleBytes()) {
    if (bytesBefore_.empty()) bytesBefore_.push_back(0);
    bytesBefore_.push_back(bytesBefore_.back() + entry.size);
  } else if (entry.key) {
    keys_.push_back(int64_t(index_.size() - 1));
  }
  info.dwLength = uint32_t(std::min<int64_t>(length(), 0x7FFFFFFF));
}

int64_t StreamTrack::length() const {
  if (uint32_t bytes = sampleBytes())
    return bytesBefore_.empty() ? 0 : int64_t(bytesBefore_.back() / bytes);
  return int64_t(index_.size());
}

bool StreamTrack::locate(int64_t first, int64_t count, std::vector<Piece>& pieces) const {
  pieces.clear();
  if (first < 0 || first >= length() || count <= 0) return false;
  const uint32_t bytes = sampleBytes();
  if (!bytes) {
    const auto& entry = index_[size_t(first)];
    pieces.push_back({entry.offset, entry.size});
    return true;
  }
  uint64_t at = uint64_t(first) * bytes;
  uint64_t left = uint64_t(std::min(count, length() - first)) * bytes;
  size_t chunk = size_t(std::upper_bound(bytesBefore_.begin(), bytesBefore_.end(), at) -
                        bytesBefore_.begin() - 1);
  while (left && chunk < index_.size()) {
    const uint64_t within = at - bytesBefore_[chunk];
    const uint64_t take = std::min<uint64_t>(left, index_[chunk].size - within);
    if (take) pieces.push_back({index_[chunk].offset + within, uint32_t(take)});
    at += take;
    left -= take;
    ++chunk;
  }
  return true;
}

int64_t StreamTrack::keyAtOrBefore(int64_t sample) const {
  if (sampleBytes()) return sample;
  auto it = std::upper_bound(keys_.begin(), keys_.end(), sample);
  return it == keys_.begin() ? -1 : *(it - 1);
}

bool StreamTrack::isKey(int64_t sample) const {
  if (sample < 0 || sample >= length()) return false;
  return sampleBytes() || index_[size_t(sample)].key;
}

}  // namespace kpl::avi
