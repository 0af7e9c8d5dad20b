// The module's run: start-up, the operator loop and shut-down.
#pragma once

// Settings, current directory (rootDir when set), module name, form and record files.
void startUp();

// Start-up (settings, current directory, module name, form, record files), the operator
// loop and shut-down; returns the process's exit code, which is always 0.
int runModule();

// Form, listing and print program, again and again, until Esc on the form.
void operatorLoop();

// Closes every plain file still open, then the record files.
void closeAllFiles();
