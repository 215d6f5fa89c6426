// The web remote's access rules: its keys, the brake on guessing them and the origins allowed to
// open the channel. A key is short enough to type on a phone and drawn from letters and digits that
// cannot be mistaken for one another; an address that keeps presenting wrong keys waits longer and
// longer for each answer, so guessing during a show is hopeless.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
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

// Slows down an address that keeps presenting wrong keys: the first few (typing errors) are
// answered at once, each further one within a minute waits twice as long as the one before, up to
// kMaxDelay. The right key is never slowed or refused, so phones behind one router are not shut out
// by one of them guessing. Used on one thread only.
class WrongKeyThrottle {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::size_t kFreeTries = 3;
  static constexpr Clock::duration kFirstDelay = std::chrono::milliseconds(250);
  static constexpr Clock::duration kMaxDelay = std::chrono::seconds(5);
  static constexpr std::size_t kMaxAddresses = 1024;  // older records are forgotten beyond this

  // Counts a wrong key from `address`; returns how long its answer waits.
  Clock::duration RecordWrongKey(const std::string& address, Clock::time_point now);

 private:
  void Forget(std::vector<Clock::time_point>& tries, Clock::time_point now) const;

  std::unordered_map<std::string, std::vector<Clock::time_point>> tries_;
};

// True when a browser's Origin header names this server: `http://` and one of `ownHosts` (lower
// case; an IPv6 address in brackets) with the port the server listens on. The Host header a client
// sends proves nothing: a name an attacker points at this computer (DNS rebinding) would pass it.
bool IsOwnOrigin(std::string_view origin, uint16_t port, const std::vector<std::string>& ownHosts);

}  // namespace quorvane::web
