#include "core/startup.h"

#include <cstdint>

#include "core/session_settings.h"
#include "core/stages.h"
#include "platform/files.h"

namespace {
constexpr int16_t kEscape = 27;
}  // namespace

void startUp() {
  hideCursorStage();
  loadSessionSettings();
  // A root that cannot be entered is ignored: names then resolve against the start directory.
  if (!sessionSettings.rootDir.empty()) changeDirectory(sessionSettings.rootDir);
  sessionSettings.moduleName = "HORTELIX";
  loadFormStage();
  openRecordFilesStage();
}

int runModule() {
  startUp();
  operatorLoop();
  closeAllFiles();
  return 0;
}

void operatorLoop() {
  clearScreenStage();
  int16_t key = 0;  // kept across cycles: the form comes back with the last ending key
  for (;;) {
    runFormStage(key);
    if (key == kEscape) return;
    runReportStage();
    runPrintStage();
  }
}

void closeAllFiles() {
  closePlainFilesStage();
  resetRecordFilesStage();
}
