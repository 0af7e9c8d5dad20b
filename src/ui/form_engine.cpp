#include "ui/form_engine.h"

#include <algorithm>

#include "core/session_settings.h"
#include "locale/packed_digits.h"
#include "locale/text_helpers.h"
#include "platform/console.h"
#include "resources/form_definition.h"
#include "ui/field_editor.h"
#include "ui/keyboard.h"
#include "ui/screen.h"
#include "ui/text_trim.h"
#include "ui/window_stack.h"

int16_t resumePanel = 0;

namespace {

constexpr int16_t kCtrlB = 2;
constexpr int16_t kTitleRow = 1;
constexpr int16_t kTitleCentre = 41;

BrowseListHandler browseListHandler = nullptr;
BrowsePickHandler browsePickHandler = nullptr;
HelpHandler helpHandler = nullptr;

// Keys with which a continuation panel hands the ending of its caller over.
bool endsCallingPanel(int16_t key) {
  switch (key) {
    case KeyPgUp:
    case KeyPgDn:
    case KeyEnd:
    case kCtrlB:
    case KeyEnter:
    case KeyDown:
    case KeyUp:
      return true;
    default:
      return false;
  }
}

bool isProtected(const FormField& field) {
  return (field.flags & FieldProtected) != 0;
}
bool startsBlank(const FormField& field) {
  return (field.flags & (FieldStartsBlank | FieldHidden)) != 0;
}
bool isHidden(const FormField& field) {
  return (field.flags & FieldHidden) != 0;
}

int16_t entryColumn(const FormField& field) {
  return static_cast<int16_t>(field.labelCol + field.label.size());
}

// Columns the entry area takes on each of its lines, and its number of lines.
int16_t areaWidth(const FormField& field) {
  return field.lineLength != 0 ? field.lineLength : field.width;
}
int16_t areaLines(const FormField& field) {
  if (field.lineLength <= 0) return 1;
  return static_cast<int16_t>((field.width + field.lineLength - 1) / field.lineLength);
}

// Numbers of the first and the last field that is not protected; first = fieldCount + 1
// and last = 0 when every field is.
void editableRange(const FormPanel& panel, int16_t& first, int16_t& last) {
  first = static_cast<int16_t>(panel.fieldCount + 1);
  last = 0;
  for (int16_t f = 1; f <= panel.fieldCount; ++f) {
    if (isProtected(panel.fields[f])) continue;
    if (first > f) first = f;
    last = f;
  }
}

// The trailing blanks right of a field's entry area.
void blankAfterArea(const FormField& field) {
  if (field.trailBlank <= 0) return;
  locateInWindow(field.row, static_cast<int16_t>(entryColumn(field) + areaWidth(field)));
  console().writeBlanks(field.trailBlank);
}

// The field a click selects: the first editable one whose label, entry area or blanked
// columns hold the clicked cell; 0 for none. The click comes as -(100 x column + row) in
// screen coordinates, taken relative to the panel's own box.
int16_t clickedField(const FormPanel& panel, int16_t key) {
  const int code = -static_cast<int>(key);
  const int row = code % 100 - panel.boxTop;
  const int col = code / 100 - panel.boxLeft;
  for (int16_t f = 1; f <= panel.fieldCount; ++f) {
    const FormField& field = panel.fields[f];
    if (isProtected(field)) continue;
    const int lastCol = entryColumn(field) + areaWidth(field) + field.trailBlank - 1;
    if (row >= field.row && row <= field.row + areaLines(field) - 1 && col >= field.labelCol &&
        col <= lastCol)
      return f;
  }
  return 0;
}

// F4 on a field: runs its browse list and puts a picked row into the field. result is 0,
// or the list's non-zero answer when nothing was picked; key becomes Down (Enter on the
// last field of a panel without continuation) after a pick, else 0.
void openBrowseList(int16_t panelNumber, const FormPanel& panel, int16_t current, int16_t list,
                    int16_t& key, int16_t& result) {
  key = 0;
  if (list <= 0 || !browseListHandler) return;
  browseListHandler(list, result);
  if (result != 0) return;
  if (browsePickHandler) browsePickHandler(list, panelNumber, current);
  key = (current == panel.fieldCount && panel.nextPanel == 0) ? KeyEnter : KeyDown;
}

// One field's edit, repeated while its text is refused; a protected field is not edited and
// key keeps the key that brought the cursor to it.
void editCurrentField(int16_t panelNumber, FormPanel& panel, int16_t current, int16_t& key,
                      int16_t& first, int16_t& last) {
  FormField& field = panel.fields[current];
  setEditKeys("+ea", panel.exitKeys + ",3b00");
  const int16_t row = field.row;
  const int16_t column = entryColumn(field);
  std::string text = startsBlank(field) ? std::string(field.value.size(), ' ') : field.value;
  if (isHidden(field)) setEditKeys("h", "");
  if (!isProtected(field)) {
    blankAfterArea(field);
    for (;;) {
      setEditChoices(field.choices);
      int16_t position = (field.flags & FieldCursorAtEnd)
                             ? static_cast<int16_t>(withoutTrailingBlanks(text).size() + 1)
                             : 1;
      editField(row, column, field.lineLength, text, position, key);
      int16_t result = 0;
      if (key == KeyF1) {
        const std::string topic = withoutTrailingBlanks(sessionSettings.menuName);
        if (!topic.empty() && helpHandler) helpHandler(topic);
        key = 0;
      } else if (key == KeyF4) {
        openBrowseList(panelNumber, panel, current, field.browseList, key, result);
      } else {
        if (field.trailBlank > 0) {
          // The text as edited, then the blanked columns; a hidden text is not shown.
          if (!isHidden(field) && field.lineLength == 0) {
            locateInWindow(row, column);
            console().writeText(text);
          }
          blankAfterArea(field);
        }
        if (key == KeyEsc) {
          showFieldValue(panelNumber, current);
        } else {
          if (isRepeatedChar(text, ' ') && startsBlank(field)) text = field.value;
          result = checkFieldValue(panelNumber, text, current, key);
        }
      }
      editableRange(panel, first, last);
      if (result == 0) break;
      console().beep();
    }
  }
  if (isHidden(field)) setEditKeys("v", "");
  setEditKeys("-", "");
}

// One call of runFormPanel: the panel, how it was called, and its editable fields.
struct PanelRun {
  int16_t number;
  FormPanel& panel;
  bool continuation;
  int16_t leaveAtTop, leaveAtBottom;
  int16_t first = 0, last = 0;  // as editableRange gives them
};

// Goes straight down the chain of next panels when it reaches the panel left with PgUp or
// PgDn (resumePanel; cleared when the chain does not reach it). True when the continuation
// handed the ending of this panel over with key, so that its own fields are not edited.
bool resumedDownChain(const PanelRun& run, int16_t& key) {
  int16_t reached = run.number;
  for (int16_t steps = 0; reached != resumePanel && resumePanel > 0; ++steps) {
    const FormPanel* at = formPanel(reached);
    if (!at || at->nextPanel == 0 || steps > formModel.panelCount) break;
    reached = at->nextPanel;
  }
  if (reached != resumePanel) resumePanel = 0;
  if (resumePanel > 0 && resumePanel != run.number && run.panel.nextPanel != 0) {
    runFormPanel(static_cast<int16_t>(-run.panel.nextPanel), run.leaveAtTop, run.leaveAtBottom,
                 key);
    return endsCallingPanel(key);
  }
  resumePanel = 0;
  return false;
}

// Moves current by the key that ended its edit (running the continuation panel after the
// last field); true when key leaves the panel.
bool leavesPanel(PanelRun& run, int16_t& current, int16_t& key) {
  switch (key) {
    case KeyPgUp:
      if (current == run.first && run.leaveAtTop != 0) {
        resumePanel = run.number;
        return true;
      }
      current = run.first;
      resumePanel = 0;
      return false;
    case KeyPgDn:
      if (current == run.last && run.leaveAtBottom != 0) {
        resumePanel = run.number;
        return true;
      }
      current = run.last;
      resumePanel = 0;
      return false;
    case KeyEnd:
    case kCtrlB:
      return true;
    case KeyEsc:
      if (current <= run.first) return true;
      current = run.first;
      return false;
    case KeyEnter:
    case KeyDown:
    case KeyF2:
      if ((current == run.last || key == KeyF2) && run.panel.nextPanel != 0) {
        runFormPanel(static_cast<int16_t>(-run.panel.nextPanel), run.leaveAtTop,
                     run.leaveAtBottom, key);
        return endsCallingPanel(key);
      }
      if (key == KeyEnter || (key == KeyDown && current < run.last)) ++current;
      return false;
    case KeyUp:
      if (current > run.first) {
        --current;
      } else if (run.continuation) {
        key = KeyEsc;
        return true;
      }
      return false;
    case 0:
      return false;
    default:
      if (key >= 0) return true;
      if (const int16_t hit = clickedField(run.panel, key)) current = hit;
      return false;
  }
}

// Edits the panel's fields from the first editable one until a key leaves the panel (or
// the fields left editable no longer include the current one).
void editPanelFields(PanelRun& run, int16_t& key) {
  int16_t current = run.first;
  while (run.first <= current && current <= run.last) {
    editCurrentField(run.number, run.panel, current, key, run.first, run.last);
    if (leavesPanel(run, current, key)) return;
  }
}

// Column of the title: 41 - length / 2, halves rounded to even.
int16_t titleColumn(size_t length) {
  size_t half = length / 2;
  if (length % 2 == 1 && half % 2 == 1) ++half;
  return static_cast<int16_t>(std::max(1, kTitleCentre - static_cast<int>(half)));
}

}  // namespace

void runFormPanel(int16_t panelArgument, int16_t leaveAtTop, int16_t leaveAtBottom, int16_t& key) {
  const bool continuation = panelArgument < 0;
  const int16_t panelNumber = static_cast<int16_t>(continuation ? -panelArgument : panelArgument);
  FormPanel* found = formPanel(panelNumber);
  if (!found) return;
  PanelRun run{panelNumber, *found, continuation, leaveAtTop, leaveAtBottom};
  const bool ownWindow = run.panel.boxTop != 0;
  if (ownWindow) {
    setColour("+n");
    openWindow(run.panel.boxTop, run.panel.boxLeft, run.panel.boxBottom, run.panel.boxRight);
    drawFrame(2);
    setColour("-");
  }
  drawFormPanel(panelNumber);

  editableRange(run.panel, run.first, run.last);
  bool editFields = run.first <= run.last && !resumedDownChain(run, key);
  for (;;) {
    if (editFields) editPanelFields(run, key);
    if (confirmFormPanel(panelNumber, key) == 0) break;
    editFields = run.first <= run.last;
    if (!editFields) {
      // Nothing the operator could change: the form stays unconfirmed.
      key = KeyEsc;
      break;
    }
  }
  if (ownWindow) closeWindow();
}

void drawFormPanel(int16_t panelNumber) {
  const FormPanel* panel = formPanel(panelNumber);
  if (!panel) return;
  setColour("rh");
  const std::string& title = sessionSettings.menuTitle;
  const int16_t column = titleColumn(title.size());
  console().setCursor(kTitleRow, column);
  // A title wider than the screen is cut at its edge rather than running over the form.
  console().writeText(title.substr(0, static_cast<size_t>(screenColumns() - column + 1)));
  setColour("n");
  for (int16_t f = 1; f <= panel->fieldCount; ++f) {
    const FormField& field = panel->fields[f];
    locateInWindow(field.row, field.labelCol);
    console().writeText(field.label);
  }
  setColour("h");
  for (int16_t f = 1; f <= panel->fieldCount; ++f) showFieldValue(panelNumber, f);
}

void showFieldValue(int16_t panelNumber, int16_t fieldNumber) {
  const FormField* field = formField(panelNumber, fieldNumber);
  if (!field) return;
  const int16_t column = entryColumn(*field);
  locateInWindow(field->row, column);
  if (isHidden(*field)) return;
  if (field->lineLength <= 0) {
    console().writeText(field->value);
    return;
  }
  const size_t piece = static_cast<size_t>(field->lineLength);
  for (size_t start = 0, line = 0; start < field->value.size(); start += piece, ++line) {
    locateInWindow(static_cast<int16_t>(field->row + line), column);
    console().writeText(field->value.substr(start, piece));
  }
}

int16_t checkFieldValue(int16_t panelNumber, const std::string& text, int16_t fieldNumber,
                        int16_t) {
  FormField* field = formField(panelNumber, fieldNumber);
  if (!field) return -1;
  std::string stored = text;
  switch (field->checkKind) {
    case CheckNumeric:
      if (isInvalidNumber(text, "") != 0) return -1;
      break;
    case CheckYesNo:
      stored = foldText(text);
      if (std::string("SN").find(stored) == std::string::npos) return -1;
      break;
    default:
      break;
  }
  storeFieldValue(*field, stored);
  showFieldValue(panelNumber, fieldNumber);
  return 0;
}

int16_t confirmFormPanel(int16_t panelNumber, int16_t key) {
  if (key == KeyEsc || panelNumber != 1) return 0;
  FormField* from = formField(1, 1);
  FormField* to = formField(1, 2);
  FormField* answer = formField(2, 1);
  if (!from || !to || !answer) return 0;
  rangeFrom = packCode("0" + from->value);
  rangeTo = packCode("0" + to->value);
  if (rangeFrom > rangeTo) return -1;
  storeFieldValue(*answer, "");
  int16_t answerKey = 0;
  runFormPanel(2, 0, 0, answerKey);
  return answer->value == "S" ? 0 : -1;
}

void setBrowseListHandler(BrowseListHandler runList, BrowsePickHandler storePick) {
  browseListHandler = runList;
  browsePickHandler = storePick;
}

void setHelpHandler(HelpHandler showHelp) {
  helpHandler = showHelp;
}

void resetFormEngine() {
  resumePanel = 0;
  resetFormRange();
}
