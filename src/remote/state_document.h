// The one message by which remote clients learn everything they show: the page, the show's
// status and clock, the transport, the project's regions, the setlist, the setup totals, the
// sound-check tracks, the practise state and the number of connected clients, as one JSON line.
#pragma once

#include <string>

#include "remote/system_view.h"

namespace quorvane::remote {

// Builds the document on the main thread (no line feed at the end). The project's regions are
// enumerated once per document.
std::string BuildStateDocument(const SystemView& system);

}  // namespace quorvane::remote
