// The listing as UTF-8 text: the lines of each page, pages separated by form feeds.
#pragma once

#include <string>

#include "page_model.h"

namespace zideruva {

// Code page 850 bytes as UTF-8 (the console's code page, with the euro sign at 213).
std::string utf8FromCodePage(const std::string& bytes);

// Each line ends with a line feed; a form feed stands between pages.
std::string textPages(const PrintDocument& document);

// Writes textPages to the file; false with the system's reason in `error` when it cannot.
bool writeTextOutput(const PrintDocument& document, const std::string& path,
                     std::string& error);

// Writes bytes to the file (through the path layer), replacing it; false with the system's
// reason when the file cannot be created or written in full.
bool writeOutputFile(const std::string& path, const std::string& bytes, std::string& error);

}  // namespace zideruva
