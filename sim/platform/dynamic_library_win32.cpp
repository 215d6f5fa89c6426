#include <windows.h>

#include "sim/platform/dynamic_library.h"
#include "platform/wide_text.h"

namespace quorvane::platform {

DynamicLibrary::~DynamicLibrary() {
  Close();
}

bool DynamicLibrary::Open(const std::string& path, std::string* error) {
  Close();
  handle_ = LoadLibraryW(Utf8ToWide(path).c_str());
  if (!handle_ && error)
    *error = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
  return handle_ != nullptr;
}

void* DynamicLibrary::Symbol(const char* name) const {
  return handle_ ? reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name))
                 : nullptr;
}

void DynamicLibrary::Close() {
  if (handle_) FreeLibrary(static_cast<HMODULE>(handle_));
  handle_ = nullptr;
}

}  // namespace quorvane::platform
