#include "web/access_keys.h"

#include <algorithm>
#include <random>

namespace quorvane::web {

std::string DrawAccessKey() {
  std::random_device device;
  std::uniform_int_distribution<std::size_t> pick(0, kAccessKeyAlphabet.size() - 1);
  std::string key;
  key.reserve(kAccessKeyLength);
  for (std::size_t i = 0; i < kAccessKeyLength; ++i)
    key.push_back(kAccessKeyAlphabet[pick(device)]);
  return key;
}

bool IsWellFormedAccessKey(std::string_view key) {
  return key.size() == kAccessKeyLength && std::all_of(key.begin(), key.end(), [](char c) {
           return kAccessKeyAlphabet.find(c) != std::string_view::npos;
         });
}

Access AccessKeys::Check(std::string_view key) const {
  if (key.empty()) return Access::kNone;
  if (key == control) return Access::kControl;
  if (key == view) return Access::kView;
  return Access::kNone;
}

void WrongKeyThrottle::Forget(std::vector<Clock::time_point>& tries, Clock::time_point now) const {
  const auto expired = [now](Clock::time_point t) { return now - t >= std::chrono::minutes(1); };
  tries.erase(std::remove_if(tries.begin(), tries.end(), expired), tries.end());
}

WrongKeyThrottle::Clock::duration WrongKeyThrottle::RecordWrongKey(const std::string& address,
                                                                   Clock::time_point now) {
  if (tries_.size() >= kMaxAddresses && !tries_.contains(address)) {
    for (auto it = tries_.begin(); it != tries_.end();) {
      Forget(it->second, now);
      it = it->second.empty() ? tries_.erase(it) : std::next(it);
    }
    if (tries_.size() >= kMaxAddresses) tries_.erase(tries_.begin());
  }
  std::vector<Clock::time_point>& tries = tries_[address];
  Forget(tries, now);
  tries.push_back(now);
  // Past the longest delay more tries change nothing: the record stays small.
  constexpr std::size_t kKept = kFreeTries + 16;
  if (tries.size() > kKept) tries.erase(tries.begin());
  if (tries.size() <= kFreeTries) return Clock::duration::zero();
  Clock::duration delay = kFirstDelay;
  for (std::size_t i = kFreeTries + 1; i < tries.size() && delay < kMaxDelay; ++i)
    delay *= 2;
  return std::min(delay, kMaxDelay);
}

namespace {

char Lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool IsOwnOrigin(std::string_view origin, uint16_t port, const std::vector<std::string>& ownHosts) {
  constexpr std::string_view kScheme = "http://";
  if (origin.size() <= kScheme.size()) return false;
  std::string rest;
  for (const char c : origin)
    rest.push_back(Lower(c));
  if (!rest.starts_with(kScheme)) return false;
  rest.erase(0, kScheme.size());
  // The port follows the last colon, unless that colon is inside an IPv6 address's brackets.
  std::string host = rest;
  uint32_t originPort = 80;
  const std::size_t colon = rest.rfind(':');
  if (colon != std::string::npos && rest.find(']', colon) == std::string::npos) {
    host = rest.substr(0, colon);
    const std::string digits = rest.substr(colon + 1);
    if (digits.empty() || digits.size() > 5) return false;
    originPort = 0;
    for (const char c : digits) {
      if (c < '0' || c > '9') return false;
      originPort = originPort * 10 + static_cast<uint32_t>(c - '0');
    }
  }
  if (originPort != port || host.empty()) return false;
  return std::find(ownHosts.begin(), ownHosts.end(), host) != ownHosts.end();
}

}  // namespace quorvane::web
