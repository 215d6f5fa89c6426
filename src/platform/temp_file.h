// Temporary files in the user's temporary folder: the count-in click is written to one so that the
// host can load it as an audio source. Paths are UTF-8 throughout; on Windows the wide-character
// calls are used underneath so that a folder outside the ANSI code page still works.
#pragma once

#include <cstddef>
#include <string>
#include <utility>

namespace quorvane::platform {

// Creates a new, empty file with a unique name that starts with `prefix` in the user's temporary
// folder ($TMPDIR or /tmp: PREFIXxxxxxx.tmp; Windows: GetTempFileNameW with unique number 0).
// Returns its UTF-8 path, empty when the folder cannot be found or the file cannot be created.
std::string CreateUniqueTempFile(const std::string& prefix);

// Replaces the file's content with `size` bytes, written in binary. False when the file cannot be
// opened or a write falls short.
bool WriteFileBytes(const std::string& path, const void* data, size_t size);

// Deletes the file; false when it could not be deleted.
bool DeleteFileAtPath(const std::string& path);

// Owns one file on disk: deletes it when destroyed or reset.
class TempFile {
 public:
  TempFile() = default;
  explicit TempFile(std::string path) : path_(std::move(path)) {}
  ~TempFile() { Reset(); }
  TempFile(TempFile&& other) noexcept : path_(std::exchange(other.path_, {})) {}
  TempFile& operator=(TempFile&& other) noexcept {
    if (this != &other) {
      Reset();
      path_ = std::exchange(other.path_, {});
    }
    return *this;
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  // A new unique empty file (see CreateUniqueTempFile); empty when none could be created.
  static TempFile CreateUnique(const std::string& prefix) {
    return TempFile(CreateUniqueTempFile(prefix));
  }

  bool Empty() const { return path_.empty(); }
  const std::string& Path() const { return path_; }
  bool Write(const void* data, size_t size) const {
    return !path_.empty() && WriteFileBytes(path_, data, size);
  }
  // Deletes the file (if any) and forgets it.
  void Reset() {
    if (!path_.empty()) DeleteFileAtPath(path_);
    path_.clear();
  }

 private:
  std::string path_;
};

}  // namespace quorvane::platform
