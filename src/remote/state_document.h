// The one message by which remote clients learn everything they show: the page, the show's
// status and clock, the transport, the project's regions, the setlist, the setup totals, the
// sound-check tracks, the practise state and the number of connected clients, as one JSON line.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "remote/system_view.h"
#include "show/setlist.h"

namespace quorvane::remote {

// Builds the document on the main thread (no line feed at the end). The project's regions are
// enumerated once per document.
std::string BuildStateDocument(const SystemView& system);

// Builds documents one after another, keeping the text of the regions and the setlist (and the
// setup totals) while the project's kept walk, the setlist items and the played marks stay the
// same: those are what grows with the project. The text is the same byte for byte as a fresh
// document's. On a host without the project's change count nothing is kept. Main thread.
class StateDocumentBuilder {
 public:
  std::string Build(const SystemView& system);

 private:
  // What the kept text was written from; walkSerial 0 means nothing is kept.
  uint64_t walkSerial_ = 0;
  std::string regionsJson_;
  std::vector<show::SetlistItem> items_;
  std::set<int32_t> played_;
  std::string setlistJson_;
  int songCount_ = 0;
  double musicTime_ = 0.0;
};

}  // namespace quorvane::remote
