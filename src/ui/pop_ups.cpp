#include "ui/pop_ups.h"

#include <cstdint>

#include "platform/console.h"
#include "ui/calculator.h"
#include "ui/calendar.h"
#include "ui/keyboard.h"

namespace {

// The field editor's cursor: half a cell in insert mode, a full cell in overwrite mode.
int16_t editCursorSize() {
  return console().insertMode() ? 50 : 100;
}

}  // namespace

void registerPopUpHotKeys() {
  setHotKeyHandlers(runCalculator, pickDate);
}

void hidePopUpCursor() {
  console().setCursorShape(false, editCursorSize());
}

void showPopUpCursor() {
  console().setCursorShape(true, editCursorSize());
}
