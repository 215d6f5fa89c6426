#include "web/web_page.h"

#include <boost/beast/core/string.hpp>
#include <boost/beast/http/rfc7230.hpp>
#include <optional>

namespace quorvane::web {
namespace {

// A quality value of zero ("0", "0.0", "0.000") refuses the coding; anything else accepts it.
bool Refused(std::string_view quality) {
  if (quality.empty() || quality.front() != '0') return false;
  for (const char c : quality.substr(1)) {
    if (c != '.' && c != '0') return false;
  }
  return true;
}

}  // namespace

bool AcceptsGzip(std::string_view acceptEncoding) {
  namespace beast = boost::beast;
  std::optional<bool> gzip;
  std::optional<bool> any;
  for (const auto& coding :
       beast::http::ext_list(beast::string_view(acceptEncoding.data(), acceptEncoding.size()))) {
    bool accepted = true;
    for (const auto& param : coding.second) {
      if (beast::iequals(param.first, "q")) {
        accepted = !Refused(std::string_view(param.second.data(), param.second.size()));
      }
    }
    if (beast::iequals(coding.first, "gzip") || beast::iequals(coding.first, "x-gzip")) {
      gzip = gzip.value_or(false) || accepted;
    } else if (coding.first == "*") {
      any = accepted;
    }
  }
  return gzip.value_or(any.value_or(false));
}

}  // namespace quorvane::web
