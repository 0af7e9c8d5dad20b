// The form and report subsystems are wired in here as they join the program. Until the form
// engine is, the form stage stands in for it: one key, Esc ending the run and any other key
// confirming the preset range 1 to 999 once, so that the whole path runs.
#include "core/stages.h"

#include "locale/packed_digits.h"
#include "platform/console.h"
#include "records/module_record_files.h"
#include "records/record_file_messages.h"
#include "records/record_file_table.h"
#include "report/print_file.h"
#include "report/vacancy_report.h"
#include "ui/browse_hooks.h"
#include "ui/browse_list.h"
#include "ui/form_engine.h"
#include "ui/form_range.h"
#include "ui/help_viewer.h"
#include "ui/keyboard.h"
#include "ui/screen.h"

namespace {
constexpr int16_t kEscape = 27;
constexpr int16_t kCursorSizePercent = 25;
}  // namespace

void hideCursorStage() { console().setCursorShape(false, kCursorSizePercent); }

void loadFormStage() {
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

void runFormStage(int16_t& key) {
  static bool confirmed = false;
  key = confirmed ? kEscape : waitKey();
  if (key == kEscape) return;
  confirmed = true;
  rangeFrom = packCode("1");
  rangeTo = packCode("999");
}

void runReportStage() { writeVacancyListing(); }

void runPrintStage() { handOverListing(); }

void closePlainFilesStage() {
  if (printFileState.printFile) closePrintFile();
}

void resetRecordFilesStage() {
  int16_t status = 0;
  resetRecordFiles(status);
}
