// The failure sink of the transports, as the remote and web servers name it.
#pragma once

#include "inbox/failure_sink.h"

namespace quorvane::remote {

using inbox::FailureSink;
using inbox::ReportCaughtException;

}  // namespace quorvane::remote
