// Small installations for the report tests, built with kivdata from a case folder of
// tests/fixtures/report: properties.csv, apartments.csv and concepts.csv (each optional),
// Quon.ini for the root, QuonTerm.ini for the session directory SESSIO, and a LOCALE folder
// when the case has one. The case's zideruva.tmp is the listing expected from it.
#pragma once

#include <string>
#include <vector>

#include "paths.h"

// Runs the built kivdata with the arguments; false, with the command in problem, unless it
// ends with 0.
bool runKivdata(const std::vector<std::string>& arguments, std::string& problem);

std::string reportFixture(const std::string& caseName, const std::string& file);

// Fills root (an existing empty directory) with the description files, the record files of
// the case and its settings. False, with the reason in problem, when kivdata fails.
bool buildInstallation(const std::string& caseName, const std::string& root, std::string& problem);

// Replaces the record files under root + "/DADES" by those of the case (root holds ddf/).
bool fillRecordFiles(const std::string& caseName, const std::string& root, std::string& problem);

// Replaces the record of the apartment (property, apartment) in DepartaV by a cut one, as a
// damaged file holds it; reading it then fails with an I/O error.
bool damageApartmentRecord(const std::string& root, int property, int apartment);

// Lines of a print file (CR LF ends), and the first difference between two of them in a
// readable form ("" when equal).
std::vector<std::string> printFileLines(const std::string& bytes);
std::string firstLineDifference(const std::string& got, const std::string& expected);

// Runs the in-process session on the installation: KIVROOT and KIVTMP set (the previous
// values come back on destruction), every record of the module at its start state, the
// settings loaded, the module name set and the three record files open.
class ReportSession {
 public:
  explicit ReportSession(const std::string& root);
  ~ReportSession();
  ReportSession(const ReportSession&) = delete;
  ReportSession& operator=(const ReportSession&) = delete;

  std::string rootDir() const { return root_ + "/"; }
  std::string sessionDir() const { return root_ + "/SESSIO/"; }

 private:
  std::string root_;
  std::vector<std::pair<std::string, std::string>> savedEnvironment_;
  std::vector<std::string> unsetEnvironment_;
};
