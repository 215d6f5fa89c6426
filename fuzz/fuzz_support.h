// What the fuzz targets share: the extension's core running over a simulated host, its timer
// tick, and the checks of what a user, a remote app or the host would see. A broken check aborts,
// so that libFuzzer keeps the input as a crash.
//
// fuzz_support.cpp is built without coverage feedback: the JSON parser that checks the documents
// is not what is being fuzzed, and instrumenting it would cost most of each run.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "remote/system_fixture.h"
#include "sim/sim_host.h"

namespace quorvane::fuzz {

using System = remote::testing::SystemFixture;
using StoredKeys = std::map<std::string, std::string>;

[[noreturn]] void Fail(std::string_view what, std::string_view detail = {});

inline void Require(bool holds, std::string_view what, std::string_view detail = {}) {
  if (!holds) Fail(what, detail);
}

inline std::string_view AsText(const uint8_t* data, size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// Lets `ms` of show time pass, with the extension's timer tick about 30 times a second, as the
// host calls it.
void RunFor(sim::Host& host, System& system, int64_t ms);

// The host saw no misuse of its interface (a source destroyed while playing, an unknown handle).
void RequireNoHostProblems(const sim::Host& host);

// The extension's section of the current project's extended state.
StoredKeys StoredSection(const sim::Host& host);

// What a checked state document says, for the targets' own checks.
struct DocumentFacts {
  size_t regions = 0;
  size_t setlistItems = 0;
  std::string showStatus;
  int64_t durationMinutes = 0;
  std::string text;  // the document itself, for messages
};

// Builds the state document as a remote app receives it and checks it with a real JSON parser:
// it parses, and what it says of the setlist agrees with the setlist the show runs on.
DocumentFacts CheckedStateDocument(System& system);

}  // namespace quorvane::fuzz
