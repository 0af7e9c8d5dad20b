// The module's screen form, read at start-up from rootDir + "FORMS\" + moduleName + ".KPN"
// into the process-wide formModel: panels of fields that the form entry engine draws and
// edits, and the browse lists that F4 opens from a field.
//
// The form file is code page 850 text of items (numbers or texts) separated by commas or line
// ends, in groups: the header (panel count, fields per panel), each panel (exit keys, field
// count, next panel, box) followed by its fields (ten items each), the list count and each
// browse list (nine items). Lines whose first non-blank character is "'" are comments where a
// group starts; inside a group every line is data. Labels, choice lists and list headings go
// through translateText as they are read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Bits of FormField::flags.
enum FormFieldFlags : int16_t {
  FieldStartsBlank = 1,  // editing starts on blanks; a blank entry keeps the stored value
  FieldHidden = 2,       // as FieldStartsBlank, and the value is never shown
  FieldProtected = 4,    // shown, never edited, passed over by keys and clicks
  FieldCursorAtEnd = 8,  // the cursor starts after the last non-blank character
};

// Values of FormField::checkKind; any other value means no check.
enum FormFieldCheck : int16_t {
  CheckNumeric = 1,
  CheckYesNo = 91,
};

struct FormField {
  int16_t row = 0;       // label row, relative to the innermost window's frame
  int16_t labelCol = 0;  // label column, same; the entry area follows the label
  std::string label;
  int16_t width = 0;       // length of value
  int16_t lineLength = 0;  // characters per screen line of a multi-line area; 0 = one line
  int16_t trailBlank = 0;  // columns blanked right of the entry area around each edit
  int16_t flags = 0;       // FormFieldFlags
  int16_t checkKind = 0;   // FormFieldCheck
  int16_t browseList = 0;  // list F4 opens; 0 = none
  std::string choices;     // "|code,label|code,label..." for a choice field; "" = free entry
  std::string value;       // always exactly width bytes, blank-padded
};

struct FormPanel {
  std::string exitKeys;  // keys ending a field edit, as setEditKeys reads them ("d,1b,...")
  int16_t fieldCount = 0;
  int16_t nextPanel = 0;  // continuation panel; 0 = none
  int16_t boxTop = 0;     // the panel's own window (absolute); boxTop 0 = none
  int16_t boxLeft = 0;
  int16_t boxBottom = 0;
  int16_t boxRight = 0;
  std::vector<FormField> fields;  // slots 0..maxFieldsPerPanel; slot 0 is never used
};

struct BrowseListDef {
  int16_t recordFile = 0;  // file id the list reads; 0 = none
  int16_t listKey = 0;
  int16_t boxTop = 0;  // list window (absolute)
  int16_t boxLeft = 0;
  int16_t boxBottom = 0;
  int16_t boxRight = 0;
  int16_t filterPanel = 0;  // panel edited before the list opens; 0 = none
  std::string heading;      // drawn into the top frame line
  int16_t linkedList = 0;   // list F4 opens from inside this one; 0 = none
};

struct FormModel {
  int16_t panelCount = 0;
  int16_t maxFieldsPerPanel = 0;
  int16_t browseListCount = 0;
  std::vector<FormPanel> panels;           // slots 0..panelCount; slot 0 is never used
  std::vector<BrowseListDef> browseLists;  // slots 0..browseListCount; slot 0 is never used
};

extern FormModel formModel;

// Largest sizes a form file may give: far beyond any 80 x 25 form, small enough that a
// damaged header cannot make the tables huge.
constexpr int16_t MaxFormPanels = 99;
constexpr int16_t MaxFieldsPerPanel = 99;
constexpr int16_t MaxBrowseLists = 99;
// The range fields of panel 1 are packed with packCode after a leading "0": up to 4
// characters they give the 2-byte codes the property file's key holds.
constexpr int16_t MaxRangeFieldWidth = 4;

// rootDir + "FORMS\" + moduleName + ".KPN".
std::string formDefinitionFileName();

// Reads the form file into formModel and presets panel 1 field 1 to "1" and field 2 to
// "999". Returns "" when the model is usable; otherwise what is wrong and where (in the
// session language), and formModel is left empty.
std::string readFormDefinition(const std::string& fileName);

// Start-up's load of formDefinitionFileName(). A form file that is missing, unreadable or
// damaged stops the module: a message window naming the file and the fault, one key, files
// closed, exit code 0.
void loadFormDefinition();

// Panel and field by number; nullptr when there is no such panel or field.
FormPanel* formPanel(int16_t panel);
FormField* formField(int16_t panel, int16_t field);
BrowseListDef* browseListDef(int16_t list);

// The fixed-length assignment into a field's value: padded with blanks or cut to width.
void storeFieldValue(FormField& field, const std::string& text);

// formModel back to its start state, empty (tests).
void resetFormModel();
