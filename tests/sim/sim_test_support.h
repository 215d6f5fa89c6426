// Helpers for the simulator's suites: host functions bound by name, as the extension binds them.
#pragma once

#include <string>

#include "host/reaper_api.h"
#include "sim/sim_host.h"

namespace quorvane::sim::testing {

// The host function `name` through the entry record's GetFunc, as type Fn (null when absent).
template <typename Fn>
Fn Bind(Host& host, const char* name) {
  return reinterpret_cast<Fn>(host.Info()->GetFunc(name));
}

// Writes a small RIFF/WAVE file (16-bit stereo, 48 kHz) of `seconds` in the temporary folder and
// returns its path; the file is removed by RemoveFile.
std::string WriteWaveFile(const std::string& stem, double seconds);
// A file that is not a WAVE file.
std::string WriteTextFile(const std::string& stem, const std::string& text);
void RemoveFile(const std::string& path);

}  // namespace quorvane::sim::testing
