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

bool WrongKeyThrottle::IsBlocked(const std::string& address, Clock::time_point now) {
  const auto found = tries_.find(address);
  if (found == tries_.end()) return false;
  Forget(found->second, now);
  if (found->second.empty()) {
    tries_.erase(found);
    return false;
  }
  return found->second.size() >= kTriesPerMinute;
}

void WrongKeyThrottle::RecordWrongKey(const std::string& address, Clock::time_point now) {
  if (tries_.size() >= kMaxAddresses && !tries_.contains(address)) {
    for (auto it = tries_.begin(); it != tries_.end();) {
      Forget(it->second, now);
      it = it->second.empty() ? tries_.erase(it) : std::next(it);
    }
    if (tries_.size() >= kMaxAddresses) tries_.erase(tries_.begin());
  }
  tries_[address].push_back(now);
}

}  // namespace quorvane::web
