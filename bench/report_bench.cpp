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
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "core/session_settings.h"
#include "locale/date_text.h"
#include "locale/numeric_picture.h"
#include "locale/packed_digits.h"
#include "platform/process.h"
#include "records/module_record_files.h"
#include "records/record_file_table.h"
#include "records/record_layouts.h"
#include "report/print_file.h"
#include "report/vacancy_report.h"
#include "ui/form_range.h"

namespace fs = std::filesystem;

namespace {

constexpr int VacantPercent = 10;

struct Size {
  long apartments;
  int properties;
  int apartmentsPerProperty;
};

bool keepInstallations() {
  return std::getenv("REPORT_BENCH_DIR") != nullptr;
}

std::string workDir() {
  static const std::string dir =
      keepInstallations()
          ? std::string(std::getenv("REPORT_BENCH_DIR"))
          : (fs::temp_directory_path() / ("kiv-report-bench-" + std::to_string(::getpid())))
                .string();
  return dir;
}

std::string kivdataPath() {
  if (const char* given = std::getenv("KIVDATA")) return given;
  std::error_code error;
  fs::path exe = fs::read_symlink("/proc/self/exe", error);
  return (exe.parent_path().parent_path() / "kivdata").string();
}

bool kivdata(const std::vector<std::string>& arguments) {
  ProgramResult result = runProgram(kivdataPath(), arguments);
  if (result.exitCode == 0) return true;
  std::fprintf(stderr, "report_bench: kivdata %s ended with %d\n", arguments[0].c_str(),
               result.exitCode);
  return false;
}

// The same made-up shape as the demo's, for sizes beyond what kivdata demo makes: properties
// 1 to N, M apartments each, every tenth vacant (spread by a fixed pseudo-random sequence),
// a rent and a few other amounts on every apartment.
bool importGenerated(const std::string& root, const Size& size) {
  std::string properties = root + "/properties.csv", apartments = root + "/apartments.csv";
  {
    std::ofstream out(properties);
    out << "code,address,address_flag\n";
    for (int p = 1; p <= size.properties; ++p)
      out << p << ",C/ DEL BANC DE PROVES " << p << "," << (p % 7 == 0 ? "P" : "") << "\n";
    std::ofstream rows(apartments);
    rows << "property,apartment,designation,own_address,tenant,amount1,amount2,amount3,"
            "extra1_code,extra1_amount,last_code,last_amount\n";
    uint64_t state = 12345;
    long tenant = 10000;
    for (int p = 1; p <= size.properties; ++p)
      for (int a = 1; a <= size.apartmentsPerProperty; ++a) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        bool vacant = (state >> 33) % 100 < VacantPercent;
        rows << p << "," << a << ",PIS " << a << ",C/ PROPI " << a << "," << (vacant ? 0 : ++tenant)
             << "," << 50000 + a * 10 << ",1200,2300,12," << (a % 3) * 1000 << ",7,450\n";
      }
  }
  return kivdata({"import", "properties", root + "/DADES/FinquesV", properties}) &&
         kivdata({"import", "apartments", root + "/DADES/DepartaV", apartments}) &&
         fs::remove(properties) && fs::remove(apartments);
}

// The installation of a size, made once.
std::string installation(const Size& size) {
  static std::map<long, std::string> made;
  if (auto found = made.find(size.apartments); found != made.end()) return found->second;
  std::string root = workDir() + "/" + std::to_string(size.apartments);
  if (keepInstallations() && fs::exists(root + "/DADES/DepartaV.dat"))
    return made[size.apartments] = root;
  fs::create_directories(workDir());
  bool ok = kivdata({"demo", root, "--properties", std::to_string(size.properties),
                     "--apartments-per-property", std::to_string(size.apartmentsPerProperty),
                     "--vacant", std::to_string(VacantPercent), "--date", "20240305"});
  if (!ok) {
    std::error_code error;
    fs::remove_all(root, error);
    ok = kivdata({"demo", root, "--properties", "0", "--date", "20240305"}) &&
         importGenerated(root, size);
  }
  made[size.apartments] = ok ? root : "";
  return made[size.apartments];
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

void openSession(const std::string& root) {
  ::setenv("KIVROOT", (root + "/").c_str(), 1);
  ::setenv("KIVTMP", (root + "/SESSIO/").c_str(), 1);
  resetDateSettings();
  resetNumberSettings();
  resetSessionSettings();
  resetPrintFileState();
  resetReportState();
  resetRecordVariables();
  clearRecordFileTable();
  loadSessionSettings();
  sessionSettings.moduleName = "HORTELIX";
  openModuleRecordFiles();
  rangeFrom = packCode("1");
  rangeTo = packCode("9999");
}

void closeSession() {
  int16_t status = 0;
  resetRecordFiles(status);
  clearRecordFileTable();
}

void BM_VacancyReport(benchmark::State& state, Size size) {
  std::string root = installation(size);
  if (root.empty()) {
    state.SkipWithError("the installation could not be made");
    return;
  }
  openSession(root);
  resetPeakResident();
  for (auto _ : state) {
    openPrintFile(sessionSettings.outputDevice);
    reportState.pageNumber = 0;
    runVacancyReport();
    closePrintFile();
  }
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
