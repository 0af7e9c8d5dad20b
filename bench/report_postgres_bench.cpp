// The vacancy scan on the PostgreSQL back end beside the same scan on the SQLite files, in one
// run: runVacancyReport (no screen) over the same installation of 100,000 or 1,000,000
// apartments (10 % vacant, the range covering every property), once with its record files
// as SQLite files and once with them as tables on a server over loopback. At the end the
// ratio of the two median wall times is printed for each size (5 runs of one scan each).
//
//   report_postgres_bench   builds each installation once with kivdata (found beside the
//                           benchmark's build directory, or at $KIVDATA) as report_bench does,
//                           copies its record files onto the server with kivdata copy, and
//                           removes everything at the end. The server is $KIV_TEST_POSTGRES
//                           (a keyword=value connection string); when it is not set, a
//                           throw-away cluster is started with scripts/test-postgres-cluster.
//   REPORT_BENCH_DIR=dir    keeps the installations (and those of report_bench) in dir.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
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
          : (fs::temp_directory_path() / ("kiv-report-pg-bench-" + std::to_string(::getpid())))
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
  std::fprintf(stderr, "report_postgres_bench: kivdata %s ended with %d\n", arguments[0].c_str(),
               result.exitCode);
  return false;
}

// ---- the server ----

std::string clusterDir;

std::string startedServer() {
  static std::string server;
  static bool tried = false;
  if (tried) return server;
  tried = true;
  if (const char* given = std::getenv("KIV_TEST_POSTGRES"); given && *given) return server = given;
  clusterDir = workDir() + "/cluster-" + std::to_string(::getpid());
  std::string command =
      std::string(KIV_SOURCE_DIR) + "/scripts/test-postgres-cluster start '" + clusterDir + "'";
  FILE* pipe = popen(command.c_str(), "r");
  char line[512] = {};
  if (pipe && std::fgets(line, sizeof line, pipe)) {
    std::string text = line;  // KIV_TEST_POSTGRES='...'
    size_t open = text.find('\''), close = text.rfind('\'');
    if (open != std::string::npos && close > open) server = text.substr(open + 1, close - open - 1);
  }
  if (pipe) pclose(pipe);
  return server;
}

void stopServer() {
  if (clusterDir.empty()) return;
  std::string command =
      std::string(KIV_SOURCE_DIR) + "/scripts/test-postgres-cluster stop '" + clusterDir + "'";
  (void)!std::system(command.c_str());
}

// ---- the installations ----

// The same made-up shape as report_bench's for sizes beyond what kivdata demo makes.
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

// The SQLite installation of a size (the one report_bench makes, shared through
// REPORT_BENCH_DIR), made once.
std::string filesInstallation(const Size& size) {
  std::string root = workDir() + "/" + std::to_string(size.apartments);
  if (fs::exists(root + "/DADES/DepartaV.dat")) return root;
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
  return ok ? root : "";
}

// A second installation root with the same settings whose Quon.ini names the server, its record
// files copied onto the server (a schema of their own) from the SQLite installation.
std::string serverInstallation(const Size& size, const std::string& filesRoot) {
  std::string server = startedServer();
  if (server.empty() || filesRoot.empty()) return "";
  std::string root = filesRoot + "-postgres";
  std::string schema = "bench_" + std::to_string(size.apartments);
  std::string onSchema = server + " options='-c search_path=" + schema + "'";
  if (!fs::exists(root + "/Quon.ini")) {
    std::string create = "psql -X -q -d \"" + server + "\" -c 'DROP SCHEMA IF EXISTS " + schema +
                         " CASCADE; CREATE SCHEMA " + schema + "'";
    if (std::system(create.c_str()) != 0) return "";
    std::error_code error;
    fs::create_directories(root);
    for (const auto& entry : fs::directory_iterator(filesRoot))
      if (entry.path().filename() != "DADES")
        fs::copy(entry.path(), root / entry.path().filename(),
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing, error);
    fs::create_directories(root + "/DADES");
    if (!kivdata({"copy", filesRoot + "/DADES", onSchema, "--existing", "replace"})) return "";
    // The key right after the section's header (the first one found counts), or a new section.
    std::ifstream in(root + "/Quon.ini", std::ios::binary);
    std::string quon((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string line = "Servidor=" + onSchema + "\r\n";
    size_t section = quon.find("[Dades]\r\n");
    if (section == std::string::npos)
      quon += "[Dades]\r\n" + line;
    else
      quon.insert(section + 9, line);
    std::ofstream(root + "/Quon.ini", std::ios::binary | std::ios::trunc) << quon;
  }
  return root;
}

// A record file made under DADES means the installation did not take the server.
bool filesAppeared(const std::string& root) {
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(root + "/DADES", error))
    if (entry.path().extension() == ".dat") return true;
  return false;
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

// Wall seconds of each run's scans, by size and back end, for the ratio printed at the end.
std::map<long, std::map<bool, std::vector<double>>> secondsPerScan;

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

void BM_VacancyReport(benchmark::State& state, Size size, bool onServer) {
  std::string root = filesInstallation(size);
  if (onServer) root = serverInstallation(size, root);
  if (root.empty()) {
    state.SkipWithError(onServer ? "no server, or the installation could not be copied onto it"
                                 : "the installation could not be made");
    return;
  }
  openSession(root);
  auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    openPrintFile(sessionSettings.outputDevice);
    reportState.pageNumber = 0;
    runVacancyReport();
    closePrintFile();
  }
  std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
  if (onServer && filesAppeared(root)) {
    state.SkipWithError("the installation did not take its record files from the server");
    closeSession();
    return;
  }
  secondsPerScan[size.apartments][onServer].push_back(wall.count() / double(state.iterations()));
  state.counters["apartments/s"] =
      benchmark::Counter(static_cast<double>(size.apartments) * double(state.iterations()),
                         benchmark::Counter::kIsRate);
  state.SetLabel(std::string(onServer ? "postgres" : "sqlite") + " " +
                 std::to_string(size.properties) + " x " +
                 std::to_string(size.apartmentsPerProperty));
  closeSession();
}

BENCHMARK_CAPTURE(BM_VacancyReport, sqlite_100000, Size{100000, 2000, 50}, false)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(5);
BENCHMARK_CAPTURE(BM_VacancyReport, postgres_100000, Size{100000, 2000, 50}, true)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(5);
BENCHMARK_CAPTURE(BM_VacancyReport, sqlite_1000000, Size{1000000, 5000, 200}, false)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(5);
BENCHMARK_CAPTURE(BM_VacancyReport, postgres_1000000, Size{1000000, 5000, 200}, true)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(5);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (const auto& [apartments, scans] : secondsPerScan)
    if (scans.count(false) && scans.count(true)) {
      double server = median(scans.at(true)), files = median(scans.at(false));
      std::printf(
          "%ld apartments, median of %zu runs: postgres %.2f s, sqlite %.2f s a scan, "
          "ratio %.2f\n",
          apartments, scans.at(true).size(), server, files, server / files);
    }
  stopServer();
  std::error_code error;
  if (!keepInstallations()) fs::remove_all(workDir(), error);
  return 0;
}
