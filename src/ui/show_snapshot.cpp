#include "ui/show_snapshot.h"

namespace quorvane::ui {

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

}  // namespace quorvane::ui
