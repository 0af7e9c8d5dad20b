// The calculator's state file: any bytes in KIVCALC.TMP give a state in range that writes
// back and reads again the same, and the pop-up opens on it, takes a few keys and saves
// a state that reads back whole.
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "platform/memory_console.h"
#include "ui/calculator.h"
#include "ui/calculator_state.h"
#include "ui/keyboard.h"
#include "ui/screen.h"
#include "ui/window_stack.h"

namespace {

// The file's texts sit between double quotes with no way to write one inside; a state
// holding one cannot come back whole (only the key last handled can hold it, and the next
// key replaces that).
bool writable(const CalculatorState& state) {
  if (state.currentOp.find('"') != std::string::npos) return false;
  if (state.pendingOp.find('"') != std::string::npos) return false;
  for (const CalcTapeEntry& entry : state.calcTape)
    if (entry.op == '"') return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const CalculatorState state = parseCalculatorState(bytes);
  FUZZ_CHECK(state.calcColumn >= 1 && state.calcColumn <= 55);
  if (writable(state)) FUZZ_CHECK(parseCalculatorState(calculatorStateText(state)) == state);

  fuzz::resetSessionInScratch();
  fuzz::writeScratchFile("KIVCALC.TMP", data, size);
  MemoryConsole screen;
  setConsole(&screen);
  resetScreenState();
  resetWindowStack();
  resetKeyboardState();
  resetCalculatorState();
  // A number, an operation on the loaded total, the strip moved both ways, a percentage,
  // rounding, the sign, and the value taken.
  screen.pushChars("7.5+");
  screen.pushKey(KeyRight);
  screen.pushKey(KeyLeft);
  screen.pushChars("%RT=F");
  (void)runCalculator();
  FUZZ_CHECK(windowDepth == 0);
  const CalculatorState saved = loadCalculatorState();
  FUZZ_CHECK(writable(saved) && parseCalculatorState(calculatorStateText(saved)) == saved);

  setConsole(nullptr);
  resetWindowStack();
  resetScreenState();
  resetKeyboardState();
  resetSessionSettings();
  return 0;
}
