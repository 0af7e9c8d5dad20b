// The browse list pop-up: a window listing records of a record file, one line per record,
// through which the operator scrolls and picks one with Enter. The form engine opens it
// with F4 on a field that names a list (BrowseListDef of the form model).
//
// The list is built lazily: lines come from the record file only when the operator scrolls
// to them, and every line is appended to the list file (ui/browse_file), through which the
// list moves back and forth without reading the record file again. The record file is
// read without locks for as long as the list is open. What a line says, where the scan
// starts and ends and what a pick stores are the hooks of ui/browse_hooks.
//
// Keys: Up, Down, PgUp, PgDn move; Left and Right scroll the text by 8 columns; Enter
// picks; F4 opens the linked list (when the list has one) in place of this one; Esc or any
// other key cancels. Esc pressed while lines are being read from the record file ends the
// list at the lines read so far.
#pragma once

#include <cstdint>

// Runs list listNumber. result: 0 when a line was picked (for a list with a record file,
// its record has been read back into the file's record variable); -1 when the operator
// cancelled, the line has no record, or the list cannot be shown (no such list, a window
// without rows or columns or off the screen, no list file); otherwise the status of
// reading the record back, or the non-zero answer of browseKeyRange. F4 hands the result
// of the linked list back, after its pick went to storeBrowsePick with panel and field 0.
void runBrowseList(int16_t listNumber, int16_t& result);
