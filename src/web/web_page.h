// The web remote's page: one HTML document with its style, its script, the QR encoder and the
// keep-awake fallback inside, embedded into the library when it is built (a venue has no internet
// to fetch anything from). Each variant is also kept gzip-compressed (compressed at build time),
// which a phone on a crowded network loads in a third of the time.
#pragma once

#include <string_view>

namespace quorvane::web {

enum class PageAccess { kControl, kView };  // a view-only page hides its controls
enum class PageEncoding { kIdentity, kGzip };

std::string_view WebPage(PageAccess access, PageEncoding encoding);

// Whether a request's Accept-Encoding value lets the page go out gzip-compressed: "gzip" (or
// "x-gzip", or "*") listed without q=0.
bool AcceptsGzip(std::string_view acceptEncoding);

}  // namespace quorvane::web
