// The bar lines of the project's tempo map, as the host counts them: a time-signature change
// starts a new bar where it sits, a tempo change keeps the grid running. What lands "on the bar"
// (a chained song, a jump between sections) asks here.
#pragma once

namespace quorvane::host {
class HostApi;
}

namespace quorvane::show {

// The start of the bar that holds `time`; false when the host cannot say (no tempo-map
// functions, or an answer that is not a time).
bool BarStartAt(const host::HostApi& host, double time, double* barStart);
// The start of the last bar of `start` .. `end` (the bar that holds its last moment; a span that
// ends on a bar line ends with the bar before it), not before `start`; false when unknown.
bool LastBarStart(const host::HostApi& host, double start, double end, double* lastBar);
// The first bar line after `time` (a time on a bar line gives the next one); false when unknown.
bool NextBarLine(const host::HostApi& host, double time, double* barLine);

}  // namespace quorvane::show
