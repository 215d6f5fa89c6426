// What the simulator's host functions share: the current model, and their declarations.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>

#include "host/host_functions.h"
#include "sim/sim_state.h"

namespace quorvane::sim::hostfn_impl {

// The current host's model, entered by `function`: a test may have armed that function to throw,
// standing in for a failure on the extension's side of the call.
inline Host::State* Model(const char* function) {
  Host* host = Host::Current();
  if (!host) return nullptr;
  host->Model().ThrowIfArmed(function);
  return &host->Model();
}

// Copies `text` into a caller's buffer of `size` bytes: at most size - 1 bytes and a NUL.
inline void CopyOut(const std::string& text, char* buffer, int size) {
  if (!buffer || size <= 0) return;
  const size_t count = std::min(text.size(), static_cast<size_t>(size) - 1);
  std::memcpy(buffer, text.data(), count);
  buffer[count] = '\0';
}

inline std::string Text(const char* text) {
  return text ? text : "";
}

// Every host function the simulator answers, defined by concern in sim_functions_*.cpp.
#define QUORVANE_SIM_DECLARE_(ret, fn, params) ret fn params;
QUORVANE_HOST_FUNCTIONS(QUORVANE_SIM_DECLARE_, QUORVANE_SIM_DECLARE_, QUORVANE_SIM_DECLARE_)
#undef QUORVANE_SIM_DECLARE_

}  // namespace quorvane::sim::hostfn_impl
