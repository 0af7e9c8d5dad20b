// closeWindow over a damaged WinPush.tmp: the first byte says how many windows this run opens
// over the file before it is damaged, and how many closes follow; the rest of the input is
// the file. Closing never reads outside the file, never paints outside the screen, and the
// window depth and box come back to where the run's own opens started.
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "platform/memory_console.h"
#include "ui/screen.h"
#include "ui/window_stack.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  fuzz::resetSessionInScratch();
  MemoryConsole screen;
  setConsole(&screen);
  resetScreenState();
  resetWindowStack();
  const std::string name = windowStackFileName();
  removeFile(name);

  const int opens = data[0] & 3;              // windows of this run, before the damage
  const int closes = opens + ((data[0] >> 2) & 3);  // some closes without an open of this run
  const bool damageFirst = (data[0] & 0x10) != 0;
  if (damageFirst) fuzz::writeScratchFile("WinPush.tmp", data + 1, size - 1);
  for (int i = 0; i < opens; ++i) {
    openWindow(static_cast<int16_t>(1 + 2 * i), static_cast<int16_t>(1 + 3 * i),
               static_cast<int16_t>(20 - i), static_cast<int16_t>(70 - 5 * i));
  }
  if (!damageFirst) fuzz::writeScratchFile("WinPush.tmp", data + 1, size - 1);

  for (int i = 0; i < closes; ++i) {
    closeWindow();
    if (i + 1 == opens) {
      // Every window of this run is closed: the state is the one before the first open.
      FUZZ_CHECK(windowDepth == 0);
      FUZZ_CHECK(windowBox.windowTop == 0 && windowBox.windowLeft == 0 &&
                 windowBox.windowBottom == 0 && windowBox.windowRight == 0);
    }
  }
  int16_t row = 0, column = 0;
  screen.getCursor(row, column);
  FUZZ_CHECK(row >= 1 && row <= 25 && column >= 1 && column <= 80);

  setConsole(nullptr);
  resetWindowStack();
  resetScreenState();
  removeFile(name);
  resetSessionSettings();
  return 0;
}
