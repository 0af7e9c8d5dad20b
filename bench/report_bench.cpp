// Speed and memory of the vacancy scan: runVacancyReport (no screen) over whole installations
// of 10,000, 100,000 and 1,000,000 apartments with 10 % of them vacant, the range covering
// every property, the listing written to the print file of the session directory.
//
//   report_bench            builds each installation once with kivdata (found beside the
//                           benchmark's build directory, or at $KIVDATA) in a temporary
//                           directory, and removes them at the end. The largest takes minutes.
//   REPORT_BENCH_DIR=dir report_bench
//                           keeps the installations in dir and uses those already there.
//
// Counters: apartments/s (apartments scanned per second) and peak_MB, the highest resident
// memory of the process while the scans of that size ran (its high-water mark is reset
// before them), which should not grow with the size of the files.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "report_installations.h"

namespace fs = std::filesystem;
using namespace bench_installations;

namespace {

std::string workDir() {
  return bench_installations::workDir("report-bench");
}

// The installation of a size, made once.
std::string installation(const Size& size) {
  static std::map<long, std::string> made;
  if (auto found = made.find(size.apartments); found != made.end()) return found->second;
  return made[size.apartments] = filesInstallation(workDir(), size);
}

// Resident memory high-water mark of the process in kB, and its reset to the current size.
long peakResidentKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  return 0;
}
void resetPeakResident() {
  std::ofstream("/proc/self/clear_refs") << "5";
}

void BM_VacancyReport(benchmark::State& state, Size size) {
  std::string root = installation(size);
  if (root.empty()) {
    state.SkipWithError("the installation could not be made");
    return;
  }
  openSession(root);
  resetPeakResident();
  for (auto _ : state) listVacancies();
  state.counters["peak_MB"] = static_cast<double>(peakResidentKb()) / 1024.0;
  state.counters["apartments/s"] = benchmark::Counter(
      static_cast<double>(size.apartments) * state.iterations(), benchmark::Counter::kIsRate);
  state.SetLabel(std::to_string(size.properties) + " x " +
                 std::to_string(size.apartmentsPerProperty));
  closeSession();
}

BENCHMARK_CAPTURE(BM_VacancyReport, 10000, Size{10000, 200, 50})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_VacancyReport, 100000, Size{100000, 2000, 50})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_VacancyReport, 1000000, Size{1000000, 5000, 200})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code error;
  if (!keepInstallations()) fs::remove_all(workDir(), error);
  return 0;
}
