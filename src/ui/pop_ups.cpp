#include "ui/pop_ups.h"

#include "platform/console.h"
#include "ui/calculator.h"
#include "ui/calendar.h"
#include "ui/field_editor.h"
#include "ui/keyboard.h"

void registerPopUpHotKeys() {
  setHotKeyHandlers(runCalculator, pickDate);
}

void hidePopUpCursor() {
  console().setCursorShape(false, editCursorSize());
}

void showPopUpCursor() {
  console().setCursorShape(true, editCursorSize());
}
