#include "show/show_snapshot.h"

namespace quorvane::show {

const char* ShowStatusName(ShowStatus status) {
  switch (status) {
    case ShowStatus::kLive:
      return "LIVE";
    case ShowStatus::kFinished:
      return "FINISHED";
    case ShowStatus::kPrepared:
      break;
  }
  return "PREPARED";
}

const char* LiveTransportName(LiveTransport transport) {
  switch (transport) {
    case LiveTransport::kSelected:
      return "SELECTED";
    case LiveTransport::kReplay:
      return "REPLAY";
    case LiveTransport::kNext:
      break;
  }
  return "NEXT";
}

}  // namespace quorvane::show
