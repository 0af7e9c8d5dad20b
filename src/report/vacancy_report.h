// The listing of vacant apartments: the scan over the properties of the confirmed range and
// their apartments, the two amounts of each vacant one, and the report cycle of the operator
// loop around it (print file, scan, hand-off to the print program).
#pragma once

#include <cstdint>
#include <string>

// File ids of the three record files the report reads.
constexpr int16_t PropertyFileId = 506;   // FinquesV
constexpr int16_t ApartmentFileId = 507;  // DepartaV
constexpr int16_t ConceptFileId = 503;    // TVRebut

struct ReportState {
  int16_t pageNumber = 0;  // page being written; 0 until the first page header
  double rentAmount = 0;   // RENDA of the current vacant apartment
  double otherAmount = 0;  // RESTA of the current vacant apartment
  // The first read of FinquesV or DepartaV that ended its loop with a status other than
  // success or end of file (an I/O error, a damaged record): the listing stops short there
  // and is not complete. 0 / 0 when the scan ran to its normal end.
  int16_t scanFailureFileId = 0;
  int16_t scanFailureStatus = 0;
  // True when the last cycle's print file was created and written in full.
  bool listingWritten = false;
};

extern ReportState reportState;

// Back to the start state (tests).
void resetReportState();

// Walks the properties from rangeFrom to rangeTo and each one's apartments in key order and
// hands every vacant apartment, with its two amounts worked out, to printVacancyLine; a
// read that ends a loop early is kept in reportState. The print file must be open.
void runVacancyReport();

// One report cycle after a confirmed form: creates the print file for outputDevice, runs
// the scan with the page number starting again (skipped when the file cannot be created),
// and closes the file; reportState tells how it went.
void writeVacancyListing();

// The hand-off after writeVacancyListing. A print file that could not be written shows its
// name and the system's reason, waits for a key, and the print program is not started. An
// incomplete scan shows the file and the status that cut it short and waits for a key;
// then, as for a complete listing, exeDir + "ZIDERUVA" is started and waited for. A print
// program that cannot be started shows its name and the system's reason and waits for a key.
void handOverListing();

// The texts of the messages, in the session's language.
std::string printFileFailureText(const std::string& fileName, const std::string& reason);
std::string printProgramFailureText(const std::string& program, const std::string& reason);
std::string incompleteListingText(const std::string& fileName, int16_t status);

// The name a record file of the report is opened under: rootDir + "DADES\" + base name.
std::string reportFileName(int16_t fileId);
