#include "report/report_layout.h"

#include <string>

#include "core/session_settings.h"
#include "locale/date_text.h"
#include "locale/numeric_picture.h"
#include "locale/packed_digits.h"
#include "locale/text_helpers.h"
#include "records/record_layouts.h"
#include "report/print_file.h"
#include "report/vacancy_report.h"
#include "resources/language_file.h"

namespace {

// The report's own texts in code page 850; the language file keys them byte for byte.
const char* const PageText = "P\xB7GINA ";
const char* const TitleText = "LLISTAT DE DEPARTAMENTS BUITS A ";
const char* const NumberHeading = "REBUT";
const char* const AddressHeading =
    "ADRE\x80"
    "A";
const char* const RentHeading = "        RENDA";
const char* const RestHeading = "        RESTA";

const char* const PageNumberPicture = "ZZZ9";
const char* const AmountPicture = "Z,ZZZ,ZZZ,ZZ9";
constexpr int16_t TitleWidth = 96;
constexpr size_t RuleWidth = 95;

constexpr int16_t NumberColumn = 1;
constexpr int16_t AddressColumn = 11;
constexpr int16_t DesignationColumn = 52;
constexpr int16_t RentColumn = 66;
constexpr int16_t RestColumn = 83;
constexpr int16_t PageNumberColumn = 85;

// Last three digits of the property number and of the apartment number: PPPPAAAA -> PPPAAA.
std::string apartmentNumberText() {
  std::string digits = unpackDigits(apartmentKey(apartmentRecord));
  return digits.substr(1, 3) + digits.substr(5, 3);
}

std::string apartmentAddress() {
  if (addressFlag(propertyRecord) == 'P') return ownAddress(apartmentRecord);
  return propertyAddress(propertyRecord);
}

}  // namespace

void printReportHeader() {
  ++reportState.pageNumber;
  startPage(ReportPageLength);
  printControl("@e");
  printAt(1, sessionSettings.companyName, 0);
  setJustification("D");
  printAt(PageNumberColumn,
          translateText(PageText) + formatNumber(PageNumberPicture, reportState.pageNumber), 2);
  std::string title = translateText(TitleText) + formatDate(sessionSettings.sessionDate, 0, "dma");
  printAt(centerOffset(title, TitleWidth), title, 2);
  printAt(NumberColumn, translateText(NumberHeading), 0);
  printAt(AddressColumn, translateText(AddressHeading), 0);
  setJustification("D");
  printAt(RentColumn, translateText(RentHeading), 0);
  printAt(RestColumn, translateText(RestHeading), 1);
  printAt(1, std::string(RuleWidth, '-'), 1);
}

void printVacancyLine() {
  if (reportState.pageNumber == 0) printReportHeader();
  if (printFileState.linesOnPage > ReportLastLineOfPage) printReportHeader();
  printAt(NumberColumn, apartmentNumberText(), 0);
  printAt(AddressColumn, apartmentAddress(), 0);
  printAt(DesignationColumn, unitDesignation(apartmentRecord), 0);
  setJustification("D");
  printAt(RentColumn, formatPicture(AmountPicture, reportState.rentAmount), 0);
  printAt(RestColumn, formatPicture(AmountPicture, reportState.otherAmount), 1);
}
