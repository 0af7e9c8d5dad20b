// The browse list over a damaged Browse.tmp: a list without a record file shows whatever
// the list file holds. The list pages and scrolls through it both ways and picks a line,
// and leaves the screen as it found it.
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "platform/memory_console.h"
#include "resources/form_definition.h"
#include "ui/browse_file.h"
#include "ui/browse_list.h"
#include "ui/keyboard.h"
#include "ui/screen.h"
#include "ui/window_stack.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::resetSessionInScratch();
  fuzz::writeScratchFile("Browse.tmp", data, size);
  MemoryConsole screen;
  setConsole(&screen);
  resetScreenState();
  resetWindowStack();
  resetKeyboardState();
  resetFormModel();
  BrowseListDef list;
  list.boxTop = 4;
  list.boxLeft = 19;
  list.boxBottom = 12;
  list.boxRight = 60;
  list.heading = "N\xA3m._Adre\x87" "a_";
  formModel.browseListCount = 1;
  formModel.browseLists = {BrowseListDef{}, list};

  std::string before;
  for (int16_t row = 1; row <= 25; ++row) before += screen.rowText(row);
  for (int16_t key : {KeyDown, KeyDown, KeyPgDn, KeyPgDn, KeyRight, KeyRight, KeyPgUp, KeyUp,
                      KeyLeft, KeyPgDn, KeyDown, KeyEnter}) {
    screen.pushKey(key);
  }
  int16_t result = 0;
  runBrowseList(1, result);
  FUZZ_CHECK(windowDepth == 0);
  std::string after;
  for (int16_t row = 1; row <= 25; ++row) after += screen.rowText(row);
  FUZZ_CHECK(after == before);

  setConsole(nullptr);
  resetWindowStack();
  resetScreenState();
  resetKeyboardState();
  resetFormModel();
  resetSessionSettings();
  return 0;
}
