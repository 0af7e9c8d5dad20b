#include "records/record_file_messages.h"

#include <cstdlib>

#include "core/session_settings.h"
#include "platform/console.h"
#include "records/record_file_table.h"
#include "recman/record_manager.h"
#include "ui/keyboard.h"
#include "ui/message_window.h"
#include "ui/window_stack.h"

namespace {

void (*plainFileCloser)() = nullptr;

struct LanguageTexts {
  const char* language;
  const char* openFailure;
  const char* locked;
};

// Catalan is the base language and the choice for every other code.
constexpr LanguageTexts Texts[] = {
    {"SPA", "NO SE PUEDE ACCEDER AL FICHERO ", "FICHERO BLOQUEADO. ESPERE UN MOMENTO."},
    {"GLG", "NOM SE PODE ACEDER AO FICHEIRO ", "FICHEIRO BLOQUEADO. ESPERE UM MOMENTO."},
    {"OCI", "NON SE P\xE3T ACCEDIR ATH FICH\xD4R ", "FICH\xD4R BLOQUEJAT. ESPERATZ UN MOMENT."},
    {"CAT", "NO ES POT ACCEDIR AL FITXER ", "FITXER BLOQUEJAT. ESPEREU UN MOMENT."},
};

const LanguageTexts& sessionTexts() {
  for (const LanguageTexts& texts : Texts)
    if (sessionSettings.languageCode == texts.language) return texts;
  return Texts[3];
}

constexpr int16_t FatalMessageRow = 12;
constexpr int16_t LockMessageRow = 24;

}  // namespace

std::string recordFileOpenFailureText(const std::string& name, int16_t status) {
  return sessionTexts().openFailure + name + " (" + std::to_string(status) + ")";
}

std::string recordLockedText() { return sessionTexts().locked; }

void showRecordFileOpenFailure(const std::string& name, int16_t status) {
  showMessageWindow(FatalMessageRow, recordFileOpenFailureText(name, status));
  console().beep();
  console().discardPendingInput();
  endReadSnapshot();
  waitKey();
  closeWindow();
  endModuleAfterFatalMessage();
}

void showRecordLockedMessage() { showMessageWindow(LockMessageRow, recordLockedText()); }

void endModuleAfterFatalMessage() {
  if (plainFileCloser) plainFileCloser();
  int16_t status = 0;
  resetRecordFiles(status);
  console().suspend();
  std::exit(0);
}

void setPlainFileCloser(void (*closer)()) { plainFileCloser = closer; }
