// What two rigs compare before one follows the other: the project's regions (number, name,
// length) and the setlist. A backup plays the main's show by region number and position, so any
// difference here is one the band must see before the show, on both rigs.
#pragma once

#include <string>
#include <vector>

#include "host/host_api.h"
#include "rig/rig_wire.h"
#include "show/setlist.h"

namespace quorvane::rig {

// Lengths within this are the same (a region nudged by a rounding, not by an edit).
inline constexpr double kLengthTolerance = 0.001;
// At most this many differences are listed; a last line says how many more there are.
inline constexpr std::size_t kMaxListedDifferences = 20;

ProjectPrint PrintProject(const host::HostApi& host, const show::Setlist& setlist);

// What differs, as lines for the band, seen from this rig ("here") against the other rig's project
// (`there` names it: "the main", "the backup"). Empty when the projects agree.
std::vector<std::string> Compare(const ProjectPrint& other, const ProjectPrint& here,
                                 const std::string& there);

bool operator==(const ProjectPrint& a, const ProjectPrint& b);

}  // namespace quorvane::rig
