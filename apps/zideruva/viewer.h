// The listing on screen, on the console the module left to this program.
//
// The page fills the screen but its last row, which is the status line: the page number,
// the keys, and a message after an action. Up/Down scroll the page a line, PgUp/PgDn go to
// the previous/next page, Home/End to the first/last, Left/Right shift a page wider than
// the screen by ten columns. "/" asks for a text to search (Enter searches, an empty text
// repeats the last search, Esc gives up); the match is shown highlighted. P prints on the
// default printer, S saves a PDF in the session directory, Esc leaves.
//
// The viewer is a state changed by keys (viewerKey) and a drawing of that state
// (drawViewer), so both can be checked on an in-memory console.
#pragma once

#include <cstdint>
#include <string>

#include "page_model.h"
#include "platform/console.h"

namespace zideruva {

struct ViewerState {
  int page = 0;   // index into the document's pages
  int top = 0;    // first line of the page on the screen
  int left = 0;   // first column of the page on the screen
  bool searching = false;
  std::string searchText;  // being typed after "/"
  std::string lastSearch;  // the last text searched
  // The last match: its page, line, column (0-based) and length; length 0 = none.
  int matchPage = 0, matchLine = 0, matchColumn = 0, matchLength = 0;
  std::string message;  // on the status line until the next key
};

enum class ViewerAction { None, Print, SavePdf, Leave };

// Changes the state by one key code (as waitKey gives them) for a screen of rows x columns.
ViewerAction viewerKey(ViewerState& state, const PrintDocument& document, int16_t key,
                       int rows, int columns);

void drawViewer(Console& screen, const ViewerState& state, const PrintDocument& document);

// Runs the viewer on console() until Esc, with a first message (may be empty).
void viewDocument(const PrintDocument& document, const std::string& firstMessage);

// Takes the terminal and views the document on it; false (said on the terminal) when the
// process has no terminal.
bool runViewer(const PrintDocument& document, bool unknownDevice);

}  // namespace zideruva
