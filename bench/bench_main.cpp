// The benchmark programs' main: Google Benchmark's, except that a benchmark that reported an error
// (a show that did not start, a client that got nothing) makes the program fail, so that the brief
// runs under ctest notice a benchmark that no longer works.
#include <benchmark/benchmark.h>

#include <vector>

#include <unistd.h>

namespace {

// Google Benchmark 1.7 flags a failed run with error_occurred, later versions with `skipped` (these
// benchmarks skip only on errors).
template <class Run>
bool Failed(const Run& run) {
  if constexpr (requires { run.error_occurred; }) {
    return run.error_occurred;
  } else {
    return static_cast<int>(run.skipped) != 0;
  }
}

class ErrorCountingReporter : public benchmark::ConsoleReporter {
 public:
  // Colours only on a terminal, counters as name=value, as the default reporter prints them.
  ErrorCountingReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Color : OO_None) {}
  void ReportRuns(const std::vector<Run>& reports) override {
    for (const Run& run : reports) {
      if (Failed(run)) ++errors_;
    }
    ConsoleReporter::ReportRuns(reports);
  }
  int Errors() const { return errors_; }

 private:
  int errors_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  ErrorCountingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return reporter.Errors() == 0 ? 0 : 1;
}
