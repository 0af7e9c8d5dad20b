// The calendar pop-up: one quarter of a year in a narrow window on the right edge of the
// screen (rows 1 to 24, columns 59 to 80), starting on the session date, over which the
// operator moves to pick a date.
//
// Keys: the arrows move a day or a week, PgDn and PgUp three months (the day kept within
// the new month), Home and End to January and December; "F", "f" or Alt+F picks the
// highlighted date, Esc leaves without one. Every other key is ignored.
#pragma once

#include <string>

// Runs the pop-up and returns the picked date as a numeric date text with day, month and
// year in the installation's order (formatDate style 0, "dma"); "" after Esc. A session
// date that is not a date gives way to the system's date.
std::string pickDate();
