// The listing sent to a printer with the system's lp command.
#pragma once

#include <string>

#include "page_model.h"

namespace zideruva {

// Prints as PDF; when lp refuses it (a spooler without PDF support), prints the text form
// instead. `printer` empty means the default printer; the files handed to lp are made in
// workDir and removed afterwards. False with the reason in `error` when lp is missing or
// refuses both.
bool printWithLp(const PrintDocument& document, const std::string& printer,
                 const std::string& workDir, std::string& error);

}  // namespace zideruva
