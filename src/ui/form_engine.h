// The form entry engine: draws the panels of formModel, edits their fields one after the
// other with the field editor, moves between fields by the key that ended each edit, follows
// continuation panels, opens browse lists (F4) and help (F1), and for panel 1 checks the
// property range and asks for "S" on panel 2 before the form counts as confirmed.
//
// runFormPanel runs inside itself (continuation panels, the confirmation panel) and inside
// the browse list (its filter panel): its working state is local to each call.
#pragma once

#include <cstdint>
#include <string>

#include "ui/form_range.h"

// A panel left with PgUp or PgDn; the next runFormPanel whose chain of next panels reaches
// it goes straight down that chain. 0 = none.
extern int16_t resumePanel;

// Edits panel |panel| (a negative number: the engine's own call for a continuation panel).
// leaveAtTop / leaveAtBottom non-zero let PgUp on the first / PgDn on the last editable
// field leave the panel. key carries the key that ended the last edit in and out; on
// return 27 means the panel was left with Esc, and for panel 1 any other key means the
// form was confirmed and rangeFrom / rangeTo hold the range.
void runFormPanel(int16_t panel, int16_t leaveAtTop, int16_t leaveAtBottom, int16_t& key);

// The title line, every label and every value of the panel.
void drawFormPanel(int16_t panel);

// The stored value of one field at its entry area (nothing for a hidden field).
void showFieldValue(int16_t panel, int16_t field);

// Checks text by the field's checkKind (numeric: digits and blanks; yes/no: "S" or "N",
// upper-cased); on success stores it, shows it and returns 0, else returns -1 and stores
// nothing. key is not used.
int16_t checkFieldValue(int16_t panel, const std::string& text, int16_t field, int16_t key);

// Panel 1 not left with Esc: packs the range into rangeFrom / rangeTo, refuses a reversed
// one, and asks for "S" on panel 2. 0 = done, -1 = edit the panel again.
int16_t confirmFormPanel(int16_t panel, int16_t key);

// The pop-ups the engine opens, installed by the program; none installed, F1 and F4 do
// nothing.
//   BrowseListHandler: runs browse list listNumber; result 0 when a row was picked.
//   BrowsePickHandler: puts the picked row into the field.
//   HelpHandler: shows the help on a topic.
using BrowseListHandler = void (*)(int16_t listNumber, int16_t& result);
using BrowsePickHandler = void (*)(int16_t listNumber, int16_t panel, int16_t field);
using HelpHandler = void (*)(const std::string& topic);
void setBrowseListHandler(BrowseListHandler runList, BrowsePickHandler storePick);
void setHelpHandler(HelpHandler showHelp);

// resumePanel, rangeFrom and rangeTo back to their start state; the handlers stay (tests).
void resetFormEngine();
