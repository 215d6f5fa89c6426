#include "web/state_patcher.h"

#include <nlohmann/json.hpp>

namespace quorvane::web {
namespace {

using Json = nlohmann::json;

// The merge patch that turns `from` into `to`, both objects. Arrays and scalars are replaced as a
// whole; nested objects are patched member by member.
Json Diff(const Json& from, const Json& to) {
  Json patch = Json::object();
  for (auto it = from.begin(); it != from.end(); ++it) {
    if (!to.contains(it.key())) patch[it.key()] = nullptr;
  }
  for (auto it = to.begin(); it != to.end(); ++it) {
    const auto old = from.find(it.key());
    if (old == from.end()) {
      patch[it.key()] = *it;
    } else if (*old != *it) {
      patch[it.key()] = old->is_object() && it->is_object() ? Diff(*old, *it) : *it;
    }
  }
  return patch;
}

}  // namespace

struct StatePatcher::Parsed {
  Json document;
};

StatePatcher::StatePatcher() = default;
StatePatcher::~StatePatcher() = default;

std::string StatePatcher::Update(const std::string& document) {
  Json next = Json::parse(document, nullptr, false);
  if (next.is_discarded() || !next.is_object()) return {};
  std::string patch;
  if (parsed_) {
    const Json diff = Diff(parsed_->document, next);
    if (!diff.empty()) patch = diff.dump(-1, ' ', false, Json::error_handler_t::replace);
    parsed_->document = std::move(next);
  } else {
    parsed_ = std::make_unique<Parsed>(Parsed{std::move(next)});
  }
  current_ = document;
  return patch;
}

}  // namespace quorvane::web
