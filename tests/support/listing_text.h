// Text listings as the tests compare them: the text output of ZIDERUVA (UTF-8) cut into lines,
// and expected lines built from texts at their columns.
#pragma once

#include <string>
#include <utility>
#include <vector>

// The lines of a text listing, trailing blanks cut and the last empty lines dropped; a form
// feed between pages stays at the start of its line.
std::vector<std::string> listingLines(const std::string& text);

// A listing line: each text starting at its column (1-based, counted in characters of the
// UTF-8 text), trailing blanks cut.
std::string placed(const std::vector<std::pair<size_t, std::string>>& texts);
