#include "ui/field_editor.h"

#include <algorithm>

#include "locale/text_helpers.h"
#include "platform/console.h"
#include "ui/edit_keys.h"
#include "ui/keyboard.h"
#include "ui/screen.h"
#include "ui/text_trim.h"
#include "ui/window_stack.h"

namespace {

constexpr char32_t LeftArrow = 0x25C4;
constexpr char32_t RightArrow = 0x25BA;

bool isSeparator(char c) {
  return c == ' ' || c == ',' || c == '.' || c == ';' || c == ':';
}

bool isTypedCharacter(int16_t key) {
  return (key >= 32 && key <= 126) || (key >= 128 && key <= 254);
}

// Screen cell of a position relative to the innermost window, as locateInWindow places it.
int16_t screenRowOf(int16_t row) {
  return static_cast<int16_t>(windowDepth != 0 ? windowBox.windowTop + row : row);
}
int16_t screenColumnOf(int16_t col) {
  return static_cast<int16_t>(windowDepth != 0 ? windowBox.windowLeft + col : col);
}

std::string fitted(const std::string& text, size_t width) {
  std::string result = text.substr(0, width);
  result.resize(width, ' ');
  return result;
}

// 1-based position just after the last non-blank character; 1 for a blank text.
int16_t afterLastNonBlank(const std::string& text) {
  return static_cast<int16_t>(withoutTrailingBlanks(text).size() + 1);
}

struct ChoiceOption {
  std::string code;
  std::string label;
};

// "|S,Si|N,No": the code runs to the first comma, the label to the next bar.
std::vector<ChoiceOption> choiceOptions(const std::string& list) {
  std::vector<ChoiceOption> options;
  size_t bar = list.find('|');
  while (bar != std::string::npos) {
    const size_t next = list.find('|', bar + 1);
    const std::string option =
        list.substr(bar + 1, next == std::string::npos ? std::string::npos : next - bar - 1);
    const size_t comma = option.find(',');
    if (comma == std::string::npos) {
      options.push_back({option, ""});
    } else {
      options.push_back({option.substr(0, comma), option.substr(comma + 1)});
    }
    bar = next;
  }
  return options;
}

// Ending keys as reported: Shift+Tab as Up, Tab as Enter, Enter as End when End is an exit
// key, Ctrl+F4 and Alt+F4 as Esc.
int16_t translatedEndingKey(int16_t key) {
  switch (key) {
    case KeyShiftTab:
      return KeyUp;
    case KeyTab:
      return KeyEnter;
    case KeyEnter:
      return exitKeyIndex(KeyEnd) >= 0 ? int16_t{KeyEnd} : key;
    case KeyCtrlF4:
    case KeyAltF4:
      return KeyEsc;
    default:
      return key;
  }
}

// One edit of one field.
class FieldEdit {
 public:
  FieldEdit(int16_t row, int16_t col, int16_t lineLength, std::string& text, int16_t& position)
      : text_(text),
        position_(position),
        length_(static_cast<int>(text.size())),
        end_(length_ + 1),
        row_(row),
        col_(col),
        lineLength_(lineLength > 0 ? lineLength : end_),
        options_(choiceOptions(editChoices)) {
    if (row_ == 0 || col_ == 0) {
      // The cursor's cell, made relative to the innermost window like every area position.
      int16_t cursorRow = 0, cursorCol = 0;
      console().getCursor(cursorRow, cursorCol);
      if (row_ == 0) row_ = static_cast<int16_t>(cursorRow - screenRowOf(0));
      if (col_ == 0) col_ = static_cast<int16_t>(cursorCol - screenColumnOf(0));
    }
    position_ = static_cast<int16_t>(std::clamp<int>(position_, 1, end_));
  }

  int16_t run();

 private:
  bool choiceMode() const { return !options_.empty(); }
  bool hidden() const { return !choiceMode() && editMaskChar != 0; }

  void setUpChoices();
  void writeBesideLabel(int offset, char32_t character);
  void draw();
  void placeCursor();
  int16_t readEditKey(bool& click);
  bool clickInside(int16_t key);
  bool clickOnChoice(int16_t key);
  bool editingKey(int16_t key);
  bool choiceKey(int16_t key);
  bool moveInArea(int16_t key);
  void type(char c);
  void removeAt(int at);
  void selectChoice(size_t index);
  void selectByFirstLetter(char c);
  void paste();
  void leave();

  std::string& text_;
  int16_t& position_;
  const int length_;  // the text's length, which no edit changes
  const int end_;     // the position after the last character
  int16_t row_, col_;
  const int lineLength_;
  const std::vector<ChoiceOption> options_;
  size_t selected_ = 0;
  int labelWidth_ = 0;
  bool changed_ = false;
};

void FieldEdit::setUpChoices() {
  for (size_t i = 0; i < options_.size(); ++i) {
    labelWidth_ = std::max(labelWidth_, static_cast<int>(options_[i].label.size()));
    if (options_[i].code == text_) selected_ = i;  // the last option with that code
  }
  writeBesideLabel(-1, LeftArrow);
  writeBesideLabel(labelWidth_, RightArrow);
}

// An arrow (or a blank) at an offset from the label; skipped off the screen, where the
// cursor could not go and the character would land wherever it is.
void FieldEdit::writeBesideLabel(int offset, char32_t character) {
  const int column = screenColumnOf(static_cast<int16_t>(col_ + offset));
  if (column < 1 || column > screenColumns()) return;
  locateInWindow(row_, static_cast<int16_t>(col_ + offset));
  console().writeCodePoint(character);
}

void FieldEdit::draw() {
  Console& screen = console();
  if (choiceMode()) {
    text_ = fitted(options_[selected_].code, static_cast<size_t>(length_));
    locateInWindow(row_, col_);
    screen.writeText(fitted(options_[selected_].label, static_cast<size_t>(labelWidth_)));
    return;
  }
  for (int k = 0; k * lineLength_ < length_; ++k) {
    locateInWindow(static_cast<int16_t>(row_ + k), col_);
    if (hidden()) {
      screen.writeText(
          std::string(static_cast<size_t>(lineLength_ - 1), static_cast<char>(editMaskChar)));
    } else {
      // A single-line area is one longer than the text: only the text is drawn.
      screen.writeText(
          text_.substr(static_cast<size_t>(k * lineLength_), static_cast<size_t>(lineLength_)));
    }
  }
}

void FieldEdit::placeCursor() {
  if (choiceMode()) return;
  int line = (position_ - 1) / lineLength_;
  int column = (position_ - 1) % lineLength_;
  if (position_ == end_ && column == 0 && line > 0) {
    --line;  // after the last character of the line above
    column = lineLength_;
  }
  locateInWindow(static_cast<int16_t>(row_ + line), static_cast<int16_t>(col_ + column));
  console().setCursorShape(true, editCursorSize());
}

// The next key, or a click as -(100 x column + row) of its screen cell. The Insert key
// flips the console's Insert toggle and is not passed on.
int16_t FieldEdit::readEditKey(bool& click) {
  Console& screen = console();
  for (;;) {
    int16_t key = 0, button = 0, mouseRow = 0, mouseCol = 0;
    readKeyEvent(key, button, mouseRow, mouseCol);
    if (button != 0) {
      click = true;
      key = static_cast<int16_t>(-(100 * mouseCol + mouseRow));
    } else if (key == KeyIns) {
      screen.setInsertMode(!screen.insertMode());
      placeCursor();
      continue;
    } else if (key == 0) {
      if (typeAhead.empty()) waitBetweenPolls();
      continue;
    } else {
      click = false;
    }
    screen.setCursorShape(false, editCursorSize());
    return key;
  }
}

// A click on a character of the area puts the cursor there.
bool FieldEdit::clickInside(int16_t key) {
  const int clickRow = (-key) % 100, clickCol = (-key) / 100;
  const int firstRow = screenRowOf(row_), firstCol = screenColumnOf(col_);
  const int lines = std::max(1, (length_ + lineLength_ - 1) / lineLength_);
  if (clickRow < firstRow || clickRow >= firstRow + lines || clickCol < firstCol ||
      clickCol >= firstCol + lineLength_) {
    return false;
  }
  const int at = lineLength_ * (clickRow - firstRow) + (clickCol - firstCol) + 1;
  position_ = static_cast<int16_t>(std::min(at, end_));
  return true;
}

// The arrows act as Left and Right, the label takes the click without effect.
bool FieldEdit::clickOnChoice(int16_t key) {
  const int clickRow = (-key) % 100, clickCol = (-key) / 100;
  const int firstCol = screenColumnOf(col_);
  if (clickRow != screenRowOf(row_) || clickCol < firstCol - 1 ||
      clickCol > firstCol + labelWidth_) {
    return false;
  }
  if (clickCol == firstCol - 1) return choiceKey(KeyLeft);
  if (clickCol == firstCol + labelWidth_) return choiceKey(KeyRight);
  return true;
}

void FieldEdit::removeAt(int at) {
  text_.erase(static_cast<size_t>(at - 1), 1);
  text_ += ' ';
  changed_ = true;
}

void FieldEdit::type(char c) {
  if (position_ >= end_) return;
  if (console().insertMode()) {
    if (text_.back() != ' ') return;
    text_.insert(static_cast<size_t>(position_ - 1), 1, c);
    text_.pop_back();
  } else {
    text_[static_cast<size_t>(position_ - 1)] = c;
  }
  ++position_;
  changed_ = true;
}

void FieldEdit::paste() {
  std::string pasted;
  for (char c : console().clipboardText()) {
    const auto code = static_cast<uint8_t>(c);
    if (code >= 32 && code != 127 && code != 255) pasted += c;
  }
  pasted = withoutOuterBlanks(pasted);
  if (pasted.empty() || position_ >= end_) return;
  const size_t at = static_cast<size_t>(position_ - 1);
  text_.replace(at, std::min(pasted.size(), text_.size() - at),
                pasted.substr(0, text_.size() - at));
  changed_ = true;
}

// Keys that change the text or move the cursor in free and hidden text.
bool FieldEdit::editingKey(int16_t key) {
  if (isTypedCharacter(key)) {
    type(static_cast<char>(key));
    return true;
  }
  switch (key) {
    case KeyLeft:
      position_ = static_cast<int16_t>(std::max(1, position_ - 1));
      return true;
    case KeyRight:
      position_ = static_cast<int16_t>(std::min(end_, position_ + 1));
      return true;
    case KeyBackspace:
      if (position_ > 1) removeAt(--position_);
      return true;
    case KeyDel:
      if (position_ < end_) removeAt(position_);
      return true;
    case KeyHome:
      position_ = 1;
      return true;
    case KeyEnd:
      position_ = afterLastNonBlank(text_);
      return true;
    case KeyCtrlHome:
    case KeyCtrlY:
      text_.assign(text_.size(), ' ');
      position_ = 1;
      changed_ = true;
      return true;
    case KeyCtrlC:
      // A hidden text stays on the screen as a mask and off the clipboard.
      if (!hidden()) console().setClipboardText(withoutOuterBlanks(text_));
      return true;
    case KeyCtrlV:
      paste();
      return true;
    default:
      return false;
  }
}

void FieldEdit::selectChoice(size_t index) {
  selected_ = index;
  changed_ = true;
}

// The next option after the selected one, round to the start once, whose label begins with
// the typed letter, both folded to accent-free capitals.
void FieldEdit::selectByFirstLetter(char c) {
  foldForMatching = -1;
  const std::string typed = foldText(std::string(1, c));
  for (size_t step = 1; step <= options_.size(); ++step) {
    const size_t index = (selected_ + step) % options_.size();
    const std::string& label = options_[index].label;
    if (!label.empty() && foldText(label.substr(0, 1)) == typed) {
      selectChoice(index);
      break;
    }
  }
  foldForMatching = 0;
}

// Keys that act in a choice list and go on reading.
bool FieldEdit::choiceKey(int16_t key) {
  const size_t count = options_.size();
  switch (key) {
    case KeyLeft:
      selectChoice((selected_ + count - 1) % count);
      return true;
    case KeyRight:
    case KeySpace:
      selectChoice((selected_ + 1) % count);
      return true;
    case KeyHome:
      position_ = 1;
      return true;
    case KeyEnd:
      position_ = afterLastNonBlank(text_);
      return true;
    case KeyCtrlC:
      console().setClipboardText(options_[selected_].label);
      return true;
    case KeyBackspace:
    case KeyDel:
    case KeyCtrlHome:
    case KeyCtrlY:
    case KeyCtrlV:
      return true;
    default:
      if (isTypedCharacter(key)) {
        selectByFirstLetter(static_cast<char>(key));
        return true;
      }
      return false;
  }
}

// Keys that move to another line or word when there is one, and end the edit otherwise.
bool FieldEdit::moveInArea(int16_t key) {
  switch (key) {
    case KeyUp:
    case KeyShiftTab:
      if (position_ <= lineLength_) return false;
      position_ = static_cast<int16_t>(position_ - lineLength_);
      return true;
    case KeyDown:
      if (position_ > end_ - lineLength_) return false;
      position_ = static_cast<int16_t>(position_ + lineLength_);
      return true;
    case KeyCtrlLeft: {
      if (position_ <= 1) return false;
      int at = position_ - 1;  // the character before the cursor
      while (at >= 1 && isSeparator(text_[static_cast<size_t>(at - 1)])) --at;
      while (at >= 1 && !isSeparator(text_[static_cast<size_t>(at - 1)])) --at;
      position_ = static_cast<int16_t>(at <= 1 ? 1 : at + 1);
      return true;
    }
    case KeyCtrlRight: {
      if (position_ >= end_) return false;
      int at = position_;
      while (at < end_ && !isSeparator(text_[static_cast<size_t>(at - 1)])) ++at;
      while (at < end_ && isSeparator(text_[static_cast<size_t>(at - 1)])) ++at;
      position_ = static_cast<int16_t>(at);
      return true;
    }
    default:
      return false;
  }
}

void FieldEdit::leave() {
  setColour("h");
  if (choiceMode()) {
    writeBesideLabel(-1, U' ');
    writeBesideLabel(labelWidth_, U' ');
  }
  locateInWindow(row_, col_);
}

int16_t FieldEdit::run() {
  if (choiceMode()) {
    setUpChoices();
    console().setCursorShape(false, editCursorSize());
  }
  setColour("u");
  draw();
  for (;;) {
    placeCursor();
    bool click = false;
    int16_t key = readEditKey(click);
    changed_ = false;
    bool goesOn;
    if (click) {
      goesOn = choiceMode() ? clickOnChoice(key) : clickInside(key);
    } else if (choiceMode()) {
      goesOn = choiceKey(key);
    } else {
      goesOn = editingKey(key) || moveInArea(key);
    }
    if (goesOn) {
      if (changed_) draw();
      continue;
    }

    key = translatedEndingKey(key);
    // Only a click leaves past the filter; keys that are not exit keys (the negative
    // F11 and F12 codes among them) are ignored.
    if (takeExitKey(key) || click) {
      leave();
      return key;
    }
    draw();
  }
}

}  // namespace

int16_t editCursorSize() {
  return console().insertMode() ? 50 : 100;
}

void editField(int16_t row, int16_t col, int16_t lineLength, std::string& text, int16_t& position,
               int16_t& key) {
  FieldEdit edit(row, col, lineLength, text, position);
  key = edit.run();
}
