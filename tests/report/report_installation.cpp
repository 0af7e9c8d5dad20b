#include "report_installation.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "core/session_settings.h"
#include "locale/date_text.h"
#include "locale/numeric_picture.h"
#include "platform/files.h"
#include "platform/process.h"
#include "records/module_record_files.h"
#include "records/record_file_table.h"
#include "records/record_layouts.h"
#include "report/print_file.h"
#include "report/vacancy_report.h"
#include "ui/form_range.h"

namespace fs = std::filesystem;

namespace {

struct RecordTable {
  const char* kind;      // kivdata's name of the table
  const char* baseName;  // the record file under DADES
};
constexpr RecordTable Tables[] = {
    {"properties", "FinquesV"}, {"apartments", "DepartaV"}, {"concepts", "TVRebut"}};

bool copyIfPresent(const fs::path& from, const fs::path& to) {
  std::error_code error;
  if (!fs::exists(from)) return true;
  fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::overwrite_existing, error);
  return !error;
}

}  // namespace

bool runKivdata(const std::vector<std::string>& arguments, std::string& problem) {
  ProgramResult result = runProgram(programPath("kivdata"), arguments);
  if (result.exitCode == 0) return true;
  problem = "kivdata";
  for (const std::string& argument : arguments) problem += " " + argument;
  problem += " ended with " + std::to_string(result.exitCode);
  return false;
}

std::string reportFixture(const std::string& caseName, const std::string& file) {
  return sourceDir() + "/tests/fixtures/report/" + caseName + "/" + file;
}

bool fillRecordFiles(const std::string& caseName, const std::string& root, std::string& problem) {
  fs::path dir(root);
  fs::path fixture(reportFixture(caseName, ""));
  std::error_code error;
  fs::remove_all(dir / "DADES", error);
  fs::create_directories(dir / "DADES");
  for (const RecordTable& table : Tables) {
    std::string file = (dir / "DADES" / table.baseName).string();
    std::string description = (dir / "ddf" / (std::string(table.baseName) + ".xdf")).string();
    if (!runKivdata({"create", file, description}, problem)) return false;
    std::string csv = (fixture / (std::string(table.kind) + ".csv")).string();
    if (fs::exists(csv) && !runKivdata({"import", table.kind, file, csv}, problem)) return false;
  }
  return true;
}

bool buildInstallation(const std::string& caseName, const std::string& root, std::string& problem) {
  fs::path dir(root);
  fs::create_directories(dir / "ddf");
  fs::create_directories(dir / "SESSIO");
  fs::path fixture(reportFixture(caseName, ""));
  if (!copyIfPresent(fs::path(sourceDir()) / "dist" / "ddf", dir / "ddf") ||
      !copyIfPresent(fixture / "Quon.ini", dir / "Quon.ini") ||
      !copyIfPresent(fixture / "QuonTerm.ini", dir / "SESSIO" / "QuonTerm.ini") ||
      !copyIfPresent(fixture / "LOCALE", dir / "LOCALE")) {
    problem = "cannot copy the settings of " + caseName;
    return false;
  }
  return fillRecordFiles(caseName, root, problem);
}

bool damageApartmentRecord(const std::string& root, int property, int apartment) {
  sqlite3* db = nullptr;
  std::string file = root + "/DADES/DepartaV.dat";
  if (sqlite3_open(file.c_str(), &db) != SQLITE_OK) {
    sqlite3_close(db);
    return false;
  }
  char key[9];
  std::snprintf(key, sizeof key, "%02X%02X%02X%02X", 0x80 + property / 100, 0x80 + property % 100,
                0x80 + apartment / 100, 0x80 + apartment % 100);
  std::string sql = "UPDATE records SET data = substr(data, 1, 10) WHERE substr(data, 1, 4) = x'" +
                    std::string(key) + "'";
  bool ok = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK &&
            sqlite3_changes(db) == 1;
  sqlite3_close(db);
  return ok;
}

std::vector<std::string> printFileLines(const std::string& bytes) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(bytes.substr(start) + "<no CR LF>");
      break;
    }
    lines.push_back(bytes.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

std::string firstLineDifference(const std::string& got, const std::string& expected) {
  std::vector<std::string> a = printFileLines(got), b = printFileLines(expected);
  for (size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
    std::string left = i < a.size() ? "\"" + a[i] + "\"" : "<end of file>";
    std::string right = i < b.size() ? "\"" + b[i] + "\"" : "<end of file>";
    if (left != right)
      return "line " + std::to_string(i + 1) + ": got " + left + ", expected " + right;
  }
  return got == expected ? "" : "same lines, different bytes";
}

ReportSession::ReportSession(const std::string& root) : root_(root) {
  for (const char* name : {"KIVROOT", "KIVTMP", "KIVEXE"}) {
    const char* value = std::getenv(name);
    if (value)
      savedEnvironment_.emplace_back(name, value);
    else
      unsetEnvironment_.push_back(name);
  }
  ::setenv("KIVROOT", rootDir().c_str(), 1);
  ::setenv("KIVTMP", sessionDir().c_str(), 1);
  ::unsetenv("KIVEXE");
  resetDateSettings();
  resetNumberSettings();
  resetSessionSettings();
  resetPrintFileState();
  resetReportState();
  resetFormRange();
  resetRecordVariables();
  clearRecordFileTable();
  loadSessionSettings();
  sessionSettings.moduleName = "HORTELIX";
  openModuleRecordFiles();
}

ReportSession::~ReportSession() {
  int16_t status = 0;
  resetRecordFiles(status);
  clearRecordFileTable();
  resetRecordVariables();
  resetPrintFileState();
  resetReportState();
  resetFormRange();
  resetSessionSettings();
  resetDateSettings();
  resetNumberSettings();
  for (const auto& [name, value] : savedEnvironment_) ::setenv(name.c_str(), value.c_str(), 1);
  for (const std::string& name : unsetEnvironment_) ::unsetenv(name.c_str());
}
