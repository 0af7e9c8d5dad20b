#include "report/vacancy_report.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "core/session_settings.h"
#include "platform/console.h"
#include "platform/process.h"
#include "recman/record_manager.h"
#include "records/record_layouts.h"
#include "records/record_operations.h"
#include "report/print_file.h"
#include "report/report_layout.h"
#include "ui/form_range.h"
#include "ui/keyboard.h"
#include "ui/message_window.h"
#include "ui/window_stack.h"

ReportState reportState;

namespace {

constexpr int16_t Key0 = 0;
constexpr int16_t SearchEqual = 0;
constexpr int16_t SearchGreaterOrEqual = 1;
// Preset into conceptKind before each look-up: a concept TVRebut does not hold leaves it in
// place, and its amount goes to the rest.
constexpr int16_t UnknownConceptKind = 9;
constexpr int16_t MessageRow = 12;

// Byte-wise, as the packed codes sort.
bool bytesAbove(const std::string& value, const std::string& bound) {
  size_t n = std::min(value.size(), bound.size());
  int order = std::memcmp(value.data(), bound.data(), n);
  return order > 0 || (order == 0 && value.size() > bound.size());
}

// A loop of the scan ended with this status: anything but success and end of file means the
// rest of the file was not read.
void noteLoopEnd(int16_t fileId, int16_t status) {
  if (status == RecordStatus::Success || status == RecordStatus::EndOfFile) return;
  if (reportState.scanFailureStatus != 0) return;  // the first one cut the listing short
  reportState.scanFailureFileId = fileId;
  reportState.scanFailureStatus = status;
}

void addAmount(const std::string& conceptKey, int32_t amount) {
  setConceptKind(conceptRecord, UnknownConceptKind);
  int16_t status = 0;
  findRecord(ConceptFileId, Key0, conceptKey, SearchEqual, status);
  if (isRentConcept(conceptRecord))
    reportState.rentAmount += amount;
  else
    reportState.otherAmount += amount;
}

// Fixed concept k is keyed by the plain byte k.
std::string fixedConceptKey(int k) {
  return std::string(1, static_cast<char>(k));
}

// An extra entry's code is keyed by the packed form of its last two digits: 7 and 107 both
// give 0x87.
std::string extraConceptKey(int16_t code) {
  int lastTwoDigits = std::abs(static_cast<int>(code)) % 100;
  return std::string(1, static_cast<char>(0x80 + lastTwoDigits));
}

void computeAmounts() {
  reportState.rentAmount = 0;
  reportState.otherAmount = 0;
  for (int k = 1; k <= FixedAmountCount; ++k)
    addAmount(fixedConceptKey(k), fixedAmount(apartmentRecord, k));
  for (int m = 0; m < ExtraAmountCount; ++m)
    addAmount(extraConceptKey(extraAmountCode(apartmentRecord, m)),
              extraAmount(apartmentRecord, m));
  addAmount(extraConceptKey(lastExtraAmountCode(apartmentRecord)),
            lastExtraAmount(apartmentRecord));
}

void listApartmentsOf(const std::string& property) {
  int16_t status = 0;
  findRecord(ApartmentFileId, Key0, property, SearchGreaterOrEqual, status);
  while (status == RecordStatus::Success && apartmentPropertyCode(apartmentRecord) == property) {
    if (isVacant(apartmentRecord)) {
      computeAmounts();
      printVacancyLine();
    }
    stepRecord(ApartmentFileId, 1, status);
  }
  noteLoopEnd(ApartmentFileId, status);
}

const char* baseName(int16_t fileId) {
  switch (fileId) {
    case PropertyFileId:
      return "FinquesV";
    case ApartmentFileId:
      return "DepartaV";
    case ConceptFileId:
      return "TVRebut";
    default:
      return "";
  }
}

struct MessageTexts {
  const char* language;
  const char* printFileFailure;  // + file name + " (" + reason + ")"
  const char* incomplete;        // + status + incompleteRead + file name
  const char* incompleteRead;
  const char* programFailure;    // + program name + " (" + reason + ")"
};

// Catalan is the base language and the choice for every other code.
constexpr MessageTexts Messages[] = {
    {"SPA", "NO SE PUEDE ESCRIBIR EL LISTADO EN ", "LISTADO INCOMPLETO: ERROR ", " AL LEER ",
     "NO SE PUEDE EJECUTAR "},
    {"GLG", "NON SE PODE ESCRIBIR A LISTAXE EN ", "LISTAXE INCOMPLETA: ERRO ", " AO LER ",
     "NON SE PODE EXECUTAR "},
    {"OCI", "NON SE P\xE3T ESCR\xD6UER ETH LISTAT EN ", "LISTAT INCOMPLET: ERROR ",
     " EN L\x90GER ", "NON SE P\xE3T EXECUTAR "},
    {"CAT", "NO ES POT ESCRIURE EL LLISTAT A ", "LLISTAT INCOMPLET: ERROR ", " EN LLEGIR ",
     "NO ES POT EXECUTAR "},
};

const MessageTexts& sessionMessages() {
  for (const MessageTexts& texts : Messages)
    if (sessionSettings.languageCode == texts.language) return texts;
  return Messages[3];
}

// The message in a window until the operator presses a key; keys typed before it appeared
// do not count.
void showMessageUntilKey(const std::string& text) {
  std::string shown = text;
  showMessageWindow(MessageRow, shown);
  console().beep();
  console().discardPendingInput();
  endReadSnapshot();
  waitKey();
  closeWindow();
}

}  // namespace

void resetReportState() {
  reportState = ReportState{};
}

void runVacancyReport() {
  reportState.scanFailureFileId = 0;
  reportState.scanFailureStatus = 0;
  int16_t status = 0;
  findRecord(PropertyFileId, Key0, rangeFrom, SearchGreaterOrEqual, status);
  while (status == RecordStatus::Success && !bytesAbove(propertyCode(propertyRecord), rangeTo)) {
    listApartmentsOf(propertyCode(propertyRecord));
    stepRecord(PropertyFileId, 1, status);
  }
  noteLoopEnd(PropertyFileId, status);
}

void writeVacancyListing() {
  reportState.scanFailureFileId = 0;
  reportState.scanFailureStatus = 0;
  bool opened = openPrintFile(sessionSettings.outputDevice);
  reportState.pageNumber = 0;
  // Without a file the lines would go nowhere: the scan is not worth its time.
  if (opened) runVacancyReport();
  reportState.listingWritten = closePrintFile() && opened;
}

void handOverListing() {
  if (!reportState.listingWritten) {
    showMessageUntilKey(printFileFailureText(printFileState.fileName, printFileFailureReason()));
    return;
  }
  if (reportState.scanFailureStatus != 0)
    showMessageUntilKey(incompleteListingText(reportFileName(reportState.scanFailureFileId),
                                              reportState.scanFailureStatus));
  // A print program that does not start would otherwise bring the form back as after a
  // listing shown, and the operator would take the listing for made.
  const std::string program = sessionSettings.exeDir + "ZIDERUVA";
  ProgramResult result = runProgram(program);
  if (!result.started())
    showMessageUntilKey(printProgramFailureText(program, std::strerror(result.startError)));
}

std::string printFileFailureText(const std::string& fileName, const std::string& reason) {
  return sessionMessages().printFileFailure + fileName + " (" + reason + ")";
}

std::string printProgramFailureText(const std::string& program, const std::string& reason) {
  return sessionMessages().programFailure + program + " (" + reason + ")";
}

std::string incompleteListingText(const std::string& fileName, int16_t status) {
  const MessageTexts& texts = sessionMessages();
  return texts.incomplete + std::to_string(status) + texts.incompleteRead + fileName;
}

std::string reportFileName(int16_t fileId) {
  return sessionSettings.rootDir + "DADES\\" + baseName(fileId);
}
