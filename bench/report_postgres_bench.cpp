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

#include "report_installations.h"

namespace fs = std::filesystem;
using namespace bench_installations;

namespace {

std::string workDir() {
  return bench_installations::workDir("report-pg-bench");
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

// The SQLite installation of a size (the one report_bench makes, shared through
// REPORT_BENCH_DIR), made once.
std::string filesInstallation(const Size& size) {
  return bench_installations::filesInstallation(workDir(), size);
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
  for (auto _ : state) listVacancies();
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
