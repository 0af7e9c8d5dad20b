// What the calendar and calculator pop-ups share: their hot keys and the cursor they
// give back.
#pragma once

// Makes Alt+X open the calculator and Alt+C the calendar wherever a key is read.
void registerPopUpHotKeys();

// The cursor while a pop-up runs: hidden, then shown again at the size the field editor
// gives it for the keyboard's Insert mode, since a pop-up opens from inside an edit.
void hidePopUpCursor();
void showPopUpCursor();
