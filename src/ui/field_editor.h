// The field line editor: changes one fixed-length text in place on the screen and reports
// the key that ended the edit. Three display modes: free text (insert and overwrite, word
// moves, clipboard copy and paste, multi-line entry areas), hidden text (a mask character
// in every position) and choice lists (the field holds a code and shows the label of one
// of a fixed set of options).
//
// Which keys end an edit, and the code each is reported as, is set with setEditKeys; the
// lists can be saved and given back on a stack, so that a pop-up opened during an edit
// installs its own exit keys and hands the caller's back when it ends.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The choice list of the next edits: options written "|code,label" one after the other;
// empty for free or hidden text.
extern std::string editChoices;
// 0 shows the text; otherwise the character shown in every position of a hidden field.
extern int16_t editMaskChar;
// Keys that may end an edit, 2 bytes little-endian each (empty = every ending key), and
// in parallel the code reported for each.
extern std::string exitKeyCodes;
extern std::string exitKeyResults;

// One level of saved exit keys.
struct SavedExitKeys {
  std::string codes;
  std::string results;
};
// Saved by "+" and given back by "-", the latest at the back.
extern std::vector<SavedExitKeys> savedExitKeys;

// Edits text in place. row and col place the entry area relative to the innermost window
// (0 = where the cursor is); lineLength is the number of characters per screen line of the
// area (0 = the whole text on one line). position is the 1-based cursor position, the
// text's length + 1 meaning after the last character. Returns with the edited text (never
// longer or shorter than before), the cursor position and the key that ended the edit
// (a click outside the area as -(100 x column + row) of its screen cell).
void editField(int16_t row, int16_t col, int16_t lineLength, std::string& text, int16_t& position,
               int16_t& key);

// Carries out each command of mode (case does not matter, other characters are ignored):
//   A  add each entry of keyList to the exit keys
//   D  remove each key of keyList (with its result) from the exit keys
//   E  empty the exit keys
//   +  save the exit keys on the stack
//   -  take the last saved exit keys back (nothing when none are saved)
//   H  hidden text, V  visible text
// keyList is a comma-separated list of hexadecimal key codes ("4d00", "1b", "d"); an entry
// "3b00=1b" accepts the first key and reports it as the second.
void setEditKeys(const std::string& mode, const std::string& keyList);

// The cursor's size during an edit: half a cell in insert mode, the whole cell in overwrite
// mode. Pop-ups opened from an edit give it back the same way.
int16_t editCursorSize();

// editChoices = choices.
void setEditChoices(const std::string& choices);

// -1 when text is not an acceptable number, else 0. Blanks are ignored anywhere and digits
// accepted; allowed lists which of ".", "-" and "+" may appear: "." once, a sign once and
// only before anything else ("-" or "+" in allowed admits both signs). Blank is valid.
int16_t isInvalidNumber(const std::string& text, const std::string& allowed);

// Editor settings back to their start state: free text, no choices, every key ends an
// edit, nothing saved (tests).
void resetFieldEditor();
