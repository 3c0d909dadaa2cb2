// quelt-soak [SEED|random] [HOURS] [TRACE_FILE]: the fault soak (soak_run.h) for HOURS of virtual
// time (default 1, fractions allowed) from SEED (default a random one, printed). Prints the run's
// figures; on a failure, the seed and the virtual time, and ends with 1. With TRACE_FILE it keeps
// the platform's trace of the run and writes it there (short runs only: the trace holds every
// message dispatched).
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "tests/soak/soak_run.h"

int main(int argc, char** argv) {
  SoakOptions options;
  if (argc > 1 && std::string(argv[1]) != "random") {
    options.seed = std::strtoull(argv[1], nullptr, 0);
  } else {
    std::random_device entropy;
    options.seed = (std::uint64_t{entropy()} << 32 | entropy()) % 1'000'000'000'000ull;
  }
  const double hours = argc > 2 ? std::atof(argv[2]) : 1.0;
  options.virtual_ms = static_cast<std::int64_t>(hours * 3'600'000.0);
  const char* trace_path = argc > 3 ? argv[3] : nullptr;
  options.record_trace = trace_path != nullptr;
  options.report_progress = true;
  std::printf("soak: seed %llu, %g virtual hours\n", static_cast<unsigned long long>(options.seed),
              hours);
  std::fflush(stdout);
  const SoakReport report = RunSoak(options);
  std::printf("%s", report.summary.c_str());
  if (trace_path) {
    std::FILE* trace = std::fopen(trace_path, "w");
    if (!trace || std::fputs(report.trace.c_str(), trace) < 0 || std::fclose(trace) != 0) {
      std::printf("soak: cannot write the trace to %s\n", trace_path);
      return 1;
    }
  }
  if (!report.passed) {
    std::printf("soak FAILED: %s\n", report.failure.c_str());
    return 1;
  }
  std::printf("soak passed\n");
  return 0;
}
