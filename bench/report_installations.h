// Installations of the vacancy scan benchmarks: whole installations of a given size made once
// with kivdata (found beside the benchmark's build directory, or at $KIVDATA) in a work
// directory, and a session of the module opened on one of them without a screen.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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

namespace bench_installations {

namespace fs = std::filesystem;

constexpr int VacantPercent = 10;

struct Size {
  long apartments;
  int properties;
  int apartmentsPerProperty;
};

// REPORT_BENCH_DIR keeps the installations there, and reuses those already made.
inline bool keepInstallations() {
  return std::getenv("REPORT_BENCH_DIR") != nullptr;
}

// The directory of the installations: REPORT_BENCH_DIR, or a temporary one of this process.
inline std::string workDir(const std::string& program) {
  static const std::string dir =
      keepInstallations()
          ? std::string(std::getenv("REPORT_BENCH_DIR"))
          : (fs::temp_directory_path() / ("kiv-" + program + "-" + std::to_string(::getpid())))
                .string();
  return dir;
}

inline std::string kivdataPath() {
  if (const char* given = std::getenv("KIVDATA")) return given;
  std::error_code error;
  fs::path exe = fs::read_symlink("/proc/self/exe", error);
  return (exe.parent_path().parent_path() / "kivdata").string();
}

inline bool kivdata(const std::vector<std::string>& arguments) {
  ProgramResult result = runProgram(kivdataPath(), arguments);
  if (result.exitCode == 0) return true;
  std::fprintf(stderr, "benchmark: kivdata %s ended with %d\n", arguments[0].c_str(),
               result.exitCode);
  return false;
}

// The same made-up shape as the demo's, for sizes beyond what kivdata demo makes: properties
// 1 to N, M apartments each, every tenth vacant (spread by a fixed pseudo-random sequence),
// a rent and a few other amounts on every apartment.
inline bool importGenerated(const std::string& root, const Size& size) {
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

// The SQLite installation of a size under `dir` (kept there when already made), or empty.
inline std::string filesInstallation(const std::string& dir, const Size& size) {
  std::string root = dir + "/" + std::to_string(size.apartments);
  if (fs::exists(root + "/DADES/DepartaV.dat")) return root;
  fs::create_directories(dir);
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

// The module's session on an installation, its record files open and the range covering
// every property, as the form leaves it before a listing.
inline void openSession(const std::string& root) {
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

inline void closeSession() {
  int16_t status = 0;
  resetRecordFiles(status);
  clearRecordFileTable();
}

// One listing of the open session into its print file.
inline void listVacancies() {
  openPrintFile(sessionSettings.outputDevice);
  reportState.pageNumber = 0;
  runVacancyReport();
  closePrintFile();
}

}  // namespace bench_installations
