// Failures said plainly on the terminal, for the operator to read before the module's form
// comes back.
#pragma once

#include <string>

namespace zideruva {

// Writes the message (code page 850) on the standard error and, when the standard input is a
// terminal, waits for a key.
void reportFailure(const std::string& message);

}  // namespace zideruva
