// quorvane-remote: the command-line remote client. Everything but the console lives in the
// quorvane_remote_client library (remote_tool.h), which the tests drive directly.
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "quorvane_remote/remote_tool.h"

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int) {
  g_interrupted = 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i)
    args.emplace_back(argv[i]);
  return quorvane::remote_cli::RunRemoteTool(args, std::cout, std::cerr,
                                             [] { return g_interrupted != 0; });
}
