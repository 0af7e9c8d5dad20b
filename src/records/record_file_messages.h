// The two messages of the record-file layer, in the session's language, and the end of
// the module after a file that cannot be opened.
#pragma once

#include <cstdint>
#include <string>

// "NO ES POT ACCEDIR AL FITXER " (or its translation) + name + " (" + status + ")".
std::string recordFileOpenFailureText(const std::string& name, int16_t status);
// "FITXER BLOQUEJAT. ESPEREU UN MOMENT." or its translation.
std::string recordLockedText();

// Shows the open failure on row 12, beeps, discards pending keys, waits for one key,
// closes the window and ends the module.
[[noreturn]] void showRecordFileOpenFailure(const std::string& name, int16_t status);

// Shows the lock message on row 24; its window stays open until the caller closes it.
void showRecordLockedMessage();

// The one way the module ends after a fatal message: plain files closed, record files
// reset, the terminal given back, exit code 0.
[[noreturn]] void endModuleAfterFatalMessage();

// Installed by the program's start-up: closes the plain files that are still open (the
// record layer does not know them). Without one, exit() still flushes and closes every
// stdio stream.
void setPlainFileCloser(void (*closer)());
