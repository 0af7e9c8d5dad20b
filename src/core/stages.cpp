// The form and report subsystems are wired in here as they join the program. Until the form
// stage is, it answers Esc, so that a run goes straight from start-up to shut-down; the
// steps whose subsystem is not there yet do nothing.
#include "core/stages.h"

#include "platform/console.h"
#include "records/module_record_files.h"
#include "records/record_file_messages.h"
#include "records/record_file_table.h"
#include "report/print_file.h"
#include "ui/screen.h"

namespace {
constexpr int16_t kEscape = 27;
constexpr int16_t kCursorSizePercent = 25;
}  // namespace

void hideCursorStage() { console().setCursorShape(false, kCursorSizePercent); }

void loadFormStage() {}

void openRecordFilesStage() {
  // A file that cannot be opened ends the module inside the record layer, which closes the
  // plain files through this closer first.
  setPlainFileCloser(closePlainFilesStage);
  openModuleRecordFiles();
}

void clearScreenStage() {
  setColour("n");
  console().clear();
}

void runFormStage(int16_t& key) { key = kEscape; }

void runReportStage() {}

void runPrintStage() {}

void closePlainFilesStage() {
  if (printFileState.printFile) closePrintFile();
}

void resetRecordFilesStage() {
  int16_t status = 0;
  resetRecordFiles(status);
}
