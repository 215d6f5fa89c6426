// A private temporary folder for one test: the user's temporary folder (TMPDIR, or TMP and TEMP on
// Windows) points into it while the test runs, so click files can be counted on disk.
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace quorvane::practise::testing {

// A UTF-8 path as the file system sees it.
std::filesystem::path FromUtf8(const std::string& utf8);

class ScopedTempFolder {
 public:
  // A fresh folder whose name starts with `name` (UTF-8), made the user's temporary folder.
  explicit ScopedTempFolder(const std::string& name = "qrv-practise");
  ~ScopedTempFolder();
  ScopedTempFolder(const ScopedTempFolder&) = delete;
  ScopedTempFolder& operator=(const ScopedTempFolder&) = delete;

  const std::filesystem::path& Path() const { return folder_; }
  // Points the temporary folder somewhere else (a missing folder, a regular file).
  void Redirect(const std::filesystem::path& target);
  // The regular files in the folder whose names start with "QRV".
  std::vector<std::filesystem::path> ClickFiles() const;

 private:
  std::filesystem::path folder_;
  std::vector<std::pair<std::string, std::pair<bool, std::string>>> saved_;
};

std::vector<unsigned char> ReadFileBytes(const std::filesystem::path& path);

}  // namespace quorvane::practise::testing
