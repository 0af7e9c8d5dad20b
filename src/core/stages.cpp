// The subsystems of the run wired together: each stage is one step of the start-up sequence
// or of the operator loop.
#include "core/stages.h"

#include "platform/console.h"
#include "records/module_record_files.h"
#include "records/record_file_messages.h"
#include "records/record_file_table.h"
#include "report/print_file.h"
#include "report/vacancy_report.h"
#include "resources/form_definition.h"
#include "ui/browse_hooks.h"
#include "ui/browse_list.h"
#include "ui/form_engine.h"
#include "ui/help_viewer.h"
#include "ui/pop_ups.h"
#include "ui/screen.h"

namespace {
constexpr int16_t kCursorSizePercent = 25;
}  // namespace

void hideCursorStage() {
  console().setCursorShape(false, kCursorSizePercent);
  registerPopUpHotKeys();
}

void loadFormStage() {
  // A form file the module cannot use ends the run here, with a message.
  loadFormDefinition();
  // F1 on the form opens the help of the menu entry; F4 opens the field's browse list and
  // puts the picked record into the field.
  setHelpHandler(showHelp);
  setBrowseListHandler(runBrowseList, storeBrowsePick);
}

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

void runFormStage(int16_t& key) { runFormPanel(1, 0, 0, key); }

void runReportStage() { writeVacancyListing(); }

void runPrintStage() { handOverListing(); }

void closePlainFilesStage() {
  if (printFileState.printFile) closePrintFile();
}

void resetRecordFilesStage() {
  int16_t status = 0;
  resetRecordFiles(status);
}
