// The web remote's access keys and the brake on guessing them. A key is short enough to type on a
// phone and drawn from letters and digits that cannot be mistaken for one another; a client
// address that keeps presenting wrong keys is refused for a while, so guessing during a show is
// hopeless.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quorvane::web {

inline constexpr std::size_t kAccessKeyLength = 10;
// No 0/o, 1/l/i: a key read off a screen is typed right the first time.
inline constexpr std::string_view kAccessKeyAlphabet = "23456789abcdefghjkmnpqrstuvwxyz";

// A fresh random key of kAccessKeyLength characters of kAccessKeyAlphabet.
std::string DrawAccessKey();
// True when `key` could have come from DrawAccessKey (length and alphabet).
bool IsWellFormedAccessKey(std::string_view key);

// What a key opens: everything the window can do, or the same pages with every command refused.
enum class Access { kNone, kControl, kView };

struct AccessKeys {
  std::string control;
  std::string view;

  Access Check(std::string_view key) const;
};

// Counts wrong keys per client address over a sliding minute. Used on one thread only.
class WrongKeyThrottle {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::size_t kTriesPerMinute = 5;
  static constexpr std::size_t kMaxAddresses = 1024;  // older records are forgotten beyond this

  // True when the address has used up its tries: refuse it without looking at its key.
  bool IsBlocked(const std::string& address, Clock::time_point now);
  void RecordWrongKey(const std::string& address, Clock::time_point now);

 private:
  void Forget(std::vector<Clock::time_point>& tries, Clock::time_point now) const;

  std::unordered_map<std::string, std::vector<Clock::time_point>> tries_;
};

}  // namespace quorvane::web
