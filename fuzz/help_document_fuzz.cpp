// The console help viewer over a damaged help document: every line is split into its
// coloured runs within the visible width, and the viewer pages through the document and
// leaves with the screen given back.
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "platform/memory_console.h"
#include "ui/help_file.h"
#include "ui/help_viewer.h"
#include "ui/keyboard.h"
#include "ui/screen.h"
#include "ui/window_stack.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::resetSessionInScratch();
  const std::string path = fuzz::writeScratchFile("AJUDA/PISBUITS.HLP", data, size);
  const HelpDocument document = loadHelpDocument(path, 80);
  const int lines = helpLineCount(document);
  FUZZ_CHECK(lines >= 0 && static_cast<size_t>(lines) <= size / 40 + 1);
  for (int line = 1; line <= lines; ++line) {
    size_t shown = 0;
    for (const HelpRun& run : helpLineRuns(helpRecord(document, line))) {
      FUZZ_CHECK(!run.text.empty());
      shown += run.text.size();
    }
    FUZZ_CHECK(shown <= static_cast<size_t>(HelpVisibleColumns));
  }

  // The viewer reads the topic relative to the current directory, as after start-up.
  static const bool inScratch = changeDirectory(fuzz::scratchDir());
  FUZZ_CHECK(inScratch);
  MemoryConsole screen;
  setConsole(&screen);
  resetScreenState();
  resetWindowStack();
  resetKeyboardState();
  for (int16_t key : {KeyPgDn, KeyDown, KeyEnd, KeyUp, KeyPgUp, KeyHome, KeyF1, KeyPgDn}) {
    screen.pushKey(key);
  }
  screen.pushKey(KeyEsc);
  screen.pushKey(KeyEsc);
  showHelp("PISBUITS");
  FUZZ_CHECK(windowDepth == 0);

  setConsole(nullptr);
  resetWindowStack();
  resetScreenState();
  resetKeyboardState();
  resetSessionSettings();
  return 0;
}
