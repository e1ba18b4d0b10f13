#pragma once
// Files of the store changed safely: an exclusive lock held across read, change and replace,
// and the replacement written to a temporary file, flushed and renamed over the old one. A
// reader therefore sees the old or the new file, and a writer killed at any moment leaves one
// of them; two writers never lose each other's change.
#include <cstddef>
#include <optional>
#include <string>

namespace kpl::platform {

// Files larger than this are not read: a store never grows so big, so such a file is foreign.
inline constexpr size_t kMaxStoreFileBytes = size_t(64) << 20;

enum class ReadStatus { kRead, kAbsent, kFailed, kTooLarge };

struct FileText {
  ReadStatus status = ReadStatus::kAbsent;
  std::string text;
};

// Reads the whole file without taking the lock (renames make that safe).
FileText ReadStoreFile(const std::string& path);

// The exclusive lock on the file that currently stands at `path` (created empty, with its
// folders, when missing). Released when the object goes.
class LockedFile {
 public:
  static std::optional<LockedFile> Acquire(const std::string& path);
  ~LockedFile();
  LockedFile(LockedFile&& other) noexcept;
  LockedFile& operator=(LockedFile&&) = delete;
  LockedFile(const LockedFile&) = delete;
  LockedFile& operator=(const LockedFile&) = delete;

  // The file's text as it stands under the lock.
  FileText read() const;
  // Replaces the file by `text`: temporary file, flush, rename, flush of the folder.
  bool replace(const std::string& text) const;
  // Moves the current file aside to a new name beside it; answers that name ("" on failure).
  std::string setAside(const std::string& suffix) const;

 private:
  LockedFile(std::string path, int descriptor) : path_(std::move(path)), descriptor_(descriptor) {}
  std::string path_;
  int descriptor_ = -1;
};

// Creates the folder and its parents (mode 0700 for new ones); true when it exists after.
bool MakeFolders(const std::string& folder);

}  // namespace kpl::platform
