#include "locked_file.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <utility>

namespace kpl::platform {
namespace {

std::string folderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Reads from an open descriptor, from its start, up to the store's limit.
FileText readDescriptor(int descriptor) {
  FileText result;
  struct stat info {};
  if (fstat(descriptor, &info) != 0) return {ReadStatus::kFailed, {}};
  if (size_t(info.st_size) > kMaxStoreFileBytes) return {ReadStatus::kTooLarge, {}};
  result.status = ReadStatus::kRead;
  char chunk[65536];
  off_t offset = 0;
  for (;;) {
    const ssize_t got = pread(descriptor, chunk, sizeof chunk, offset);
    if (got < 0) {
      if (errno == EINTR) continue;
      return {ReadStatus::kFailed, {}};
    }
    if (got == 0) break;
    result.text.append(chunk, size_t(got));
    offset += got;
    if (result.text.size() > kMaxStoreFileBytes) return {ReadStatus::kTooLarge, {}};
  }
  return result;
}

bool writeAll(int descriptor, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t put = write(descriptor, text.data() + done, text.size() - done);
    if (put < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += size_t(put);
  }
  return true;
}

void syncFolder(const std::string& folder) {
  const int descriptor = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor < 0) return;
  fsync(descriptor);
  close(descriptor);
}

bool sameFile(int descriptor, const std::string& path) {
  struct stat held {
  }, current{};
  if (fstat(descriptor, &held) != 0 || stat(path.c_str(), &current) != 0) return false;
  return held.st_dev == current.st_dev && held.st_ino == current.st_ino;
}

}  // namespace

bool MakeFolders(const std::string& folder) {
  struct stat info {};
  if (stat(folder.c_str(), &info) == 0) return S_ISDIR(info.st_mode);
  const std::string parent = folderOf(folder);
  if (parent != folder && !MakeFolders(parent)) return false;
  return mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

FileText ReadStoreFile(const std::string& path) {
  const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) return {errno == ENOENT ? ReadStatus::kAbsent : ReadStatus::kFailed, {}};
  FileText result = readDescriptor(descriptor);
  close(descriptor);
  return result;
}

std::optional<LockedFile> LockedFile::Acquire(const std::string& path) {
  if (!MakeFolders(folderOf(path))) return std::nullopt;
  // The file standing at `path` may be replaced while we wait for its lock; then the lock we
  // got guards a file nobody reads any more, and we try again on the new one.
  for (int attempt = 0; attempt < 10000; ++attempt) {
    const int descriptor = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (descriptor < 0) return std::nullopt;
    int locked;
    do
      locked = flock(descriptor, LOCK_EX);
    while (locked != 0 && errno == EINTR);
    if (locked == 0 && sameFile(descriptor, path)) return LockedFile(path, descriptor);
    close(descriptor);
    if (locked != 0) return std::nullopt;
  }
  return std::nullopt;
}

LockedFile::~LockedFile() {
  if (descriptor_ >= 0) close(descriptor_);  // releases the lock
}

LockedFile::LockedFile(LockedFile&& other) noexcept
    : path_(std::move(other.path_)), descriptor_(std::exchange(other.descriptor_, -1)) {}

FileText LockedFile::read() const {
  return readDescriptor(descriptor_);
}

bool LockedFile::replace(const std::string& text) const {
  // Only the lock holder writes the temporary file, so one fixed name serves; a leftover of a
  // writer that was killed is simply overwritten.
  const std::string temporary = path_ + ".tmp";
  struct stat current {};
  const mode_t mode = fstat(descriptor_, &current) == 0 ? (current.st_mode & 07777) : 0600;
  const int out = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (out < 0) return false;
  const bool written = fchmod(out, mode) == 0 && writeAll(out, text) && fsync(out) == 0;
  if (close(out) != 0 || !written || rename(temporary.c_str(), path_.c_str()) != 0) {
    unlink(temporary.c_str());
    return false;
  }
  syncFolder(folderOf(path_));
  return true;
}

std::string LockedFile::setAside(const std::string& suffix) const {
  char stamp[32];
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  const std::string base = path_ + "." + suffix + "-" + stamp;
  for (int number = 0; number < 1000; ++number) {
    const std::string name = number == 0 ? base : base + "-" + std::to_string(number);
    struct stat existing {};
    if (stat(name.c_str(), &existing) == 0) continue;
    if (rename(path_.c_str(), name.c_str()) != 0) return "";
    syncFolder(folderOf(path_));
    return name;
  }
  return "";
}

}  // namespace kpl::platform
