// What this program's browse lists show and what a pick changes. The list machinery
// (ui/browse_list) is the same for every list; these three hooks give each list number its
// key range, the text of a record's line and the store of a picked record.
//
// List 1 lists the property file (FinquesV, file id 506): each line is the property's
// number (its last three digits), two blanks and its address, and a pick puts the number
// into the field F4 was pressed on.
#pragma once

#include <cstdint>
#include <string>

// The key range of list listNumber: the scan starts at the first record whose key is at
// least startKey and ends after the last whose key does not exceed endKey ("" = no bound).
// 0 to open the list; anything else keeps it closed and becomes its result. Here every list
// runs over the whole file.
int16_t browseKeyRange(int16_t listNumber, std::string& startKey, std::string& endKey);

// The line of list listNumber for the record now in its file's record variable; "" gives
// the record no line.
std::string browseRowText(int16_t listNumber);

// Puts the record picked in list listNumber into field `field` of panel `panel`, through
// the form's check of that field. A pick made inside a linked list comes with panel 0 and
// field 0, which name no field: it stores nothing.
void storeBrowsePick(int16_t listNumber, int16_t panel, int16_t field);
