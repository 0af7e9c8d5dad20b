// The page layout of the listing of vacant apartments: a heading block on every page and one
// line per vacant apartment, 95 columns wide, written through the print file.
//
// Columns: 1 the property and apartment number (6 digits), 11 the address (30), 52 the
// designation (10), 66 the rent and 83 the rest (13 each, right-justified). A page holds 55
// apartment lines; the heading block takes 6 lines of the 66 of a page.
#pragma once

#include <cstdint>

constexpr int16_t ReportPageLength = 66;
// A new page begins before an apartment line once the page has advanced beyond this.
constexpr int16_t ReportLastLineOfPage = 60;

// Starts a new page and writes its heading block (company name, page number, the title
// with the session date, the column headings and the rule); adds 1 to the page number.
void printReportHeader();

// Writes the line of the vacant apartment in apartmentRecord (of the property in
// propertyRecord) with reportState's two amounts, after a page header when one is due.
void printVacancyLine();
