// The web remote's page: one HTML document with its style, its script and the QR encoder inside,
// embedded into the library when it is built (a venue has no internet to fetch anything from).
#pragma once

#include <string_view>

namespace quorvane::web {

std::string_view WebPage();

}  // namespace quorvane::web
