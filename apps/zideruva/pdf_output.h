// The listing as a PDF file: A4 portrait, a monospaced font, 66 lines a page.
#pragma once

#include <string>

#include "page_model.h"

namespace zideruva {

// False with the reason in `error` when the file cannot be written (or the program was built
// without cairo).
bool writePdfOutput(const PrintDocument& document, const std::string& path, std::string& error);

}  // namespace zideruva
