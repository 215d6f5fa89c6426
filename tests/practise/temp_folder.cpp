#include "temp_folder.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>

namespace quorvane::practise::testing {
namespace {

#ifdef _WIN32
const char* const kVariables[] = {"TMP", "TEMP"};
#else
const char* const kVariables[] = {"TMPDIR"};
#endif

void SetVariable(const std::string& name, const std::filesystem::path& value) {
#ifdef _WIN32
  // Wide, so that a folder outside the ANSI code page reaches GetTempPathW intact.
  _wputenv_s(std::filesystem::path(name).wstring().c_str(), value.wstring().c_str());
#else
  setenv(name.c_str(), value.c_str(), 1);
#endif
}

void RestoreVariable(const std::string& name, bool had, const std::string& value) {
#ifdef _WIN32
  _putenv_s(name.c_str(), had ? value.c_str() : "");
#else
  if (had) {
    setenv(name.c_str(), value.c_str(), 1);
  } else {
    unsetenv(name.c_str());
  }
#endif
}

}  // namespace

std::filesystem::path FromUtf8(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

ScopedTempFolder::ScopedTempFolder(const std::string& name) {
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  std::random_device random;
  do {
    folder_ = base / FromUtf8(name + "-" + std::to_string(random()));
  } while (!std::filesystem::create_directory(folder_));
  for (const char* variable : kVariables) {
    const char* value = std::getenv(variable);
    saved_.push_back({variable, {value != nullptr, value ? value : ""}});
  }
  Redirect(folder_);
}

ScopedTempFolder::~ScopedTempFolder() {
  for (const auto& [variable, value] : saved_) {
    RestoreVariable(variable, value.first, value.second);
  }
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

void ScopedTempFolder::Redirect(const std::filesystem::path& target) {
  for (const char* variable : kVariables)
    SetVariable(variable, target);
}

std::vector<std::filesystem::path> ScopedTempFolder::ClickFiles() const {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder_)) {
    if (entry.is_regular_file() && entry.path().filename().u8string().starts_with(u8"QRV")) {
      files.push_back(entry.path());
    }
  }
  return files;
}

std::vector<unsigned char> ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in),
                                    std::istreambuf_iterator<char>());
}

}  // namespace quorvane::practise::testing
