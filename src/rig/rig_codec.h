// The rig channel's messages as JSON text, one WebSocket message each:
//   main -> backup:  {"type":"hello",...}  {"type":"state",...}  {"type":"timeline",...}
//                    {"type":"command",...}
//   backup -> main:  {"type":"hello",...}  {"type":"command",...}  and, from a backup that leads,
//                    {"type":"state",...}  {"type":"timeline",...}
// docs/protocol.md lists the members. Whatever arrives is untrusted: decoding answers nullopt for
// anything malformed (not JSON, an unknown type, a missing member or one of the wrong type, a value
// out of range, a number that is not finite) or larger than its kind may be.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "rig/rig_wire.h"

namespace quorvane::rig {

// A hello carries the project's regions and a state carries a whole state document; a timeline
// sample or a command is small.
inline constexpr std::size_t kMaxLargeMessageBytes = 1024 * 1024;
inline constexpr std::size_t kMaxSmallMessageBytes = 64 * 1024;
// The largest message either side reads at all.
inline constexpr std::size_t kMaxChannelMessageBytes = kMaxLargeMessageBytes;

inline constexpr std::size_t kMaxPrintRegions = 10000;
inline constexpr std::size_t kMaxPrintSetlist = 10000;
inline constexpr std::size_t kMaxNameBytes = 1024;

std::string Encode(const FromMain& message);
std::string Encode(const FromBackup& message);

std::optional<FromMain> DecodeFromMain(std::string_view text);
std::optional<FromBackup> DecodeFromBackup(std::string_view text);

}  // namespace quorvane::rig
