// Loading a shared library and finding a symbol in it (dlopen / LoadLibraryW).
#pragma once

#include <string>

namespace quorvane::platform {

class DynamicLibrary {
 public:
  DynamicLibrary() = default;
  ~DynamicLibrary();
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;

  // Loads the library at `path` (UTF-8); false with `error` filled when it cannot be loaded.
  bool Open(const std::string& path, std::string* error);
  void* Symbol(const char* name) const;
  void Close();
  bool IsOpen() const { return handle_ != nullptr; }
  // The handle to pass as the module instance.
  void* Handle() const { return handle_; }

 private:
  void* handle_ = nullptr;
};

}  // namespace quorvane::platform
