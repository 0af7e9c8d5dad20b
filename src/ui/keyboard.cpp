#include "ui/keyboard.h"

#include "platform/console.h"
#include "recman/record_manager.h"

std::string typeAhead;
int16_t mouseState = 0;
int16_t calculatorOpen = 0;
int16_t calendarOpen = 0;

namespace {

HotKeyHandler calculatorHandler = nullptr;
HotKeyHandler calendarHandler = nullptr;

// Run before the process blocks for input: the record manager's read snapshot must not
// hold up other processes' writes while the operator thinks.
void beforeWaitingForInput() { endReadSnapshot(); }

// First two bytes of a key text as a little-endian code; 0 for an empty text.
int16_t keyTextCode(const std::string& text) {
  if (text.empty()) return 0;
  unsigned low = static_cast<uint8_t>(text[0]);
  unsigned high = text.size() > 1 ? static_cast<uint8_t>(text[1]) : 0;
  return static_cast<int16_t>(low | (high << 8));
}

// The digit of a keypad key as read with Alt held, or -1.
int keypadDigit(int16_t code) {
  static constexpr int16_t keypad[10] = {KeyIns,  KeyEnd,    KeyDown,  KeyPgDn, KeyLeft,
                                         KeyCentre, KeyRight, KeyHome, KeyUp,   KeyPgUp};
  for (int digit = 0; digit < 10; ++digit) {
    if (keypad[digit] == code) return digit;
  }
  return -1;
}

// Keypad digits typed so far while the left Alt key is held.
std::string altDigits;

// Digits typed on the keypad while the left Alt key is held give one character; the
// event that ends the entry (the first one taken without the left Alt key, or another
// key) is dropped then. False while the entry waits for its next event: the digits are
// kept for the next read, so that no read ever blocks.
bool takeAltKeypadEntry(std::string& text) {
  Console& screen = console();
  while (screen.controlKeyState() & LeftAltPressed) {
    const int16_t code = keyTextCode(text);
    const int digit = keypadDigit(code);
    if (digit >= 0) {
      altDigits += static_cast<char>('0' + digit);
    } else if (code != 0) {
      break;
    } else {
      return altDigits.empty();
    }
    text = screen.takeInput();
  }
  if (altDigits.empty()) return true;
  unsigned value = 0;
  for (char digit : altDigits) value = (value * 10 + static_cast<unsigned>(digit - '0')) % 256;
  altDigits.clear();
  text = std::string(1, static_cast<char>(value));
  return true;
}

bool within(int16_t key, int16_t first, int16_t last) { return key >= first && key <= last; }

int16_t withModifiers(int16_t key, uint16_t state) {
  if (key == KeyAltE) return KeyEuro;
  auto add = [&](int16_t functionKeys, int16_t elevenTwelve) {
    if (within(key, KeyF1, KeyF10)) return static_cast<int16_t>(key + functionKeys);
    if (within(key, KeyF11, KeyF12)) return static_cast<int16_t>(key + elevenTwelve);
    return key;
  };
  if (state & (LeftAltPressed | RightAltPressed)) return add(11520, 1536);
  if (state & (LeftCtrlPressed | RightCtrlPressed)) {
    if (key == KeyHome) return KeyCtrlHome;
    if (key == KeyRight) return KeyCtrlRight;
    if (key == KeyLeft) return KeyCtrlLeft;
    return add(8960, 1024);
  }
  if (state & ShiftPressed) return add(6400, 512);
  return key;
}

void runHotKey(HotKeyHandler handler, int16_t& openFlag) {
  if (!handler || openFlag != 0) return;
  openFlag = -1;
  typeAhead = handler();
  openFlag = 0;
}

}  // namespace

int16_t keyCodeFor(const std::string& keyText, uint16_t controlKeyState) {
  return withModifiers(keyTextCode(keyText), controlKeyState);
}

bool isKeypadKey(int16_t key) { return keypadDigit(key) >= 0; }

void readKeyEvent(int16_t& key, int16_t& button, int16_t& mouseRow, int16_t& mouseCol) {
  if (!typeAhead.empty()) {
    key = static_cast<uint8_t>(typeAhead[0]);
    typeAhead.erase(0, 1);
    return;
  }
  Console& screen = console();
  if (mouseState == 0) mouseState = screen.mouseButtons() == 0 ? 3 : 2;
  if (mouseState == 2) {
    screen.setMouseInput(true);
    mouseState = 1;
  }

  key = button = mouseRow = mouseCol = 0;
  std::string text = screen.takeInput();
  if (!takeAltKeypadEntry(text)) return;
  if (text.size() < 4) key = keyCodeFor(text, screen.controlKeyState());

  if (mouseState == 1 && text.size() >= 4 &&
      static_cast<uint8_t>(text[2]) == MouseButtonReleased) {
    button = static_cast<uint8_t>(text[3]);
    screen.mousePosition(mouseRow, mouseCol);
  }

  if (key == KeyAltX && calculatorOpen == 0) {
    runHotKey(calculatorHandler, calculatorOpen);
  } else if (key == KeyAltC && calendarOpen == 0) {
    runHotKey(calendarHandler, calendarOpen);
  }

  // Mouse input stays off while the program works, so that events do not pile up.
  if (mouseState == 1 && (key > 0 || button > 0)) {
    screen.setMouseInput(false);
    mouseState = 2;
  }
}

void waitBetweenPolls() {
  Console& screen = console();
  screen.flush();
  beforeWaitingForInput();
  screen.waitForInput(-1);
}

void waitKey(int16_t& key) {
  int16_t button = 0, mouseRow = 0, mouseCol = 0;
  for (;;) {
    readKeyEvent(key, button, mouseRow, mouseCol);
    if (button != 0) {
      key = static_cast<int16_t>(static_cast<uint16_t>(mouseCol * 256 + button * 64 + mouseRow));
    }
    if (key != 0) return;
    waitBetweenPolls();
  }
}

void setHotKeyHandlers(HotKeyHandler calculator, HotKeyHandler calendar) {
  calculatorHandler = calculator;
  calendarHandler = calendar;
}

void resetKeyboardState() {
  typeAhead.clear();
  mouseState = 0;
  calculatorOpen = 0;
  calendarOpen = 0;
  altDigits.clear();
}
