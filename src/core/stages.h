// The steps of the run that belong to the other subsystems, gathered in one place: the
// start-up sequence and the operator loop call only these, so each subsystem plugs in here.
#pragma once

#include <cstdint>

// Hides the text cursor for the whole run, and makes Alt+X and Alt+C open the calculator
// and the calendar wherever a key is read.
void hideCursorStage();
// Loads rootDir + "FORMS\" + moduleName + ".KPN" into the form model.
void loadFormStage();
// Opens FinquesV (506), DepartaV (507) and TVRebut (503) under rootDir + "DADES\", each bound
// to its record variable; a file that cannot be opened ends the process there.
void openRecordFilesStage();
// Selects colour "n" and clears the whole screen, once before the first form.
void clearScreenStage();
// Panel 1 of the form, left with a key that comes back in `key` (27 = Esc ends the run).
void runFormStage(int16_t& key);
// Writes the listing of the confirmed range into a new print file for outputDevice, with
// the page number starting again, and closes the print file.
void runReportStage();
// Starts exeDir + "ZIDERUVA" and waits until it has ended.
void runPrintStage();
// Closes the plain files still open (the print file).
void closePlainFilesStage();
// Closes every record file and resets the record manager.
void resetRecordFilesStage();
