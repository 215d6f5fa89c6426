// Runs quorvane-remote's logic on a thread of its own while the test's thread keeps the other side
// going (ticking the host, serving a socket). Every run is bounded: a tool that has not finished
// after kToolPatience is interrupted, and the test sees that it did not finish.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <ostream>
#include <streambuf>
#include <string>
#include <thread>
#include <vector>

#include "quorvane_remote/remote_tool.h"

namespace quorvane::remote_cli::testing {

using namespace std::chrono_literals;

inline constexpr auto kToolPatience = 15s;

// A text sink that the tool's thread writes and the test's thread reads while it runs.
class SharedText : public std::streambuf {
 public:
  std::string Text() const {
    std::lock_guard lock(mutex_);
    return text_;
  }

 protected:
  int_type overflow(int_type c) override {
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      std::lock_guard lock(mutex_);
      text_ += traits_type::to_char_type(c);
    }
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    std::lock_guard lock(mutex_);
    text_.append(s, static_cast<std::size_t>(n));
    return n;
  }

 private:
  mutable std::mutex mutex_;
  std::string text_;
};

struct ToolResult {
  int code = -1;
  std::string out;
  std::string err;
  bool finished = false;  // false: it was still running after kToolPatience and was interrupted
};

// Runs the tool with `args`; until it ends, calls `step` with the output so far, then sleeps a
// few milliseconds, over and over.
inline ToolResult RunBeside(const std::vector<std::string>& args,
                            const std::function<void(const std::string& out)>& step) {
  SharedText out;
  SharedText err;
  std::ostream outStream(&out);
  std::ostream errStream(&err);
  std::atomic<bool> stop{false};
  std::atomic<bool> done{false};
  ToolResult result;
  std::thread tool([&] {
    result.code = RunRemoteTool(args, outStream, errStream, [&] { return stop.load(); });
    done = true;
  });
  const auto deadline = std::chrono::steady_clock::now() + kToolPatience;
  while (!done && std::chrono::steady_clock::now() < deadline) {
    if (step) step(out.Text());
    std::this_thread::sleep_for(5ms);
  }
  result.finished = done.load();
  stop = true;
  tool.join();
  result.out = out.Text();
  result.err = err.Text();
  return result;
}

// Lines of `text`, without their line feeds.
inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

}  // namespace quorvane::remote_cli::testing
