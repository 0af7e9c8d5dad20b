#include "viewer.h"

#include <algorithm>
#include <cctype>

#include "core/session_settings.h"
#include "failure_notice.h"
#include "pdf_output.h"
#include "platform/files.h"
#include "platform/terminal_console.h"
#include "printer_output.h"
#include "ui/keyboard.h"

namespace zideruva {
namespace {

constexpr int HorizontalStep = 10;
constexpr uint8_t BodyForeground = 7, BodyBackground = 0;
constexpr uint8_t StatusForeground = 0, StatusBackground = 3;
constexpr uint8_t MatchForeground = 0, MatchBackground = 7;

int bodyRows(int rows) { return std::max(1, rows - 1); }

const std::vector<std::string>& linesOf(const PrintDocument& document, int page) {
  static const std::vector<std::string> none;
  return document.pages.empty() ? none : document.pages[page].lines;
}

int lastTop(const PrintDocument& document, int page, int rows) {
  return std::max(0, static_cast<int>(linesOf(document, page).size()) - bodyRows(rows));
}

int lastLeft(const PrintDocument& document, int page, int columns) {
  if (document.pages.empty()) return 0;
  return std::max(0, document.pages[page].width() - columns);
}

void goToPage(ViewerState& state, const PrintDocument& document, int page) {
  int last = std::max(0, static_cast<int>(document.pages.size()) - 1);
  state.page = std::clamp(page, 0, last);
  state.top = 0;
}

std::string upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// Searches forward from just after the last match (or from the top line shown), through the
// following pages and round to the start; case is ignored for the letters A to Z.
void search(ViewerState& state, const PrintDocument& document, int rows, int columns) {
  std::string wanted = upper(state.lastSearch);
  int pages = static_cast<int>(document.pages.size());
  if (wanted.empty() || pages == 0) return;
  bool fromMatch = state.matchLength > 0 && state.matchPage == state.page;
  int page = state.page;
  int line = fromMatch ? state.matchLine : state.top;
  size_t column = fromMatch ? state.matchColumn + 1 : 0;
  for (int step = 0; step <= pages; ++step) {
    const std::vector<std::string>& lines = document.pages[page].lines;
    for (; line < static_cast<int>(lines.size()); ++line, column = 0) {
      size_t at = upper(lines[line]).find(wanted, column);
      if (at == std::string::npos) continue;
      state.matchPage = state.page = page;
      state.matchLine = line;
      state.matchColumn = static_cast<int>(at);
      state.matchLength = static_cast<int>(wanted.size());
      state.top = std::min(line, lastTop(document, page, rows));
      if (state.matchColumn < state.left ||
          state.matchColumn + state.matchLength > state.left + columns)
        state.left =
            std::clamp(state.matchColumn - HorizontalStep, 0, lastLeft(document, page, columns));
      return;
    }
    page = (page + 1) % pages;
    line = 0;
    column = 0;
  }
  state.matchLength = 0;
  state.message = "No s'ha trobat: " + state.lastSearch;
}

void searchKey(ViewerState& state, const PrintDocument& document, int16_t key, int rows,
               int columns) {
  if (key == KeyEsc) {
    state.searching = false;
  } else if (key == KeyEnter) {
    state.searching = false;
    if (!state.searchText.empty()) state.lastSearch = state.searchText;
    search(state, document, rows, columns);
  } else if (key == KeyBackspace) {
    if (!state.searchText.empty()) state.searchText.pop_back();
  } else if (key >= 32 && key <= 255) {
    state.searchText += static_cast<char>(key);
  }
}

std::string pageCounter(const ViewerState& state, const PrintDocument& document) {
  int pages = static_cast<int>(document.pages.size());
  return "P\x85gina " + std::to_string(pages ? state.page + 1 : 0) + " de " +
         std::to_string(pages);
}

std::string statusText(const ViewerState& state, const PrintDocument& document) {
  std::string counter = pageCounter(state, document) + "  ";
  if (state.searching) return counter + "Cerca: " + state.searchText;
  if (!state.message.empty()) return counter + state.message;
  return counter + "\x18\x19 PgUp PgDn Inici Fi \x1B\x1A  / cerca  P imprimeix  S PDF  Esc surt";
}

void writeRow(Console& screen, int row, const std::string& text, int columns) {
  std::string cut = text.substr(0, columns);
  cut.resize(columns, ' ');
  screen.setCursor(static_cast<int16_t>(row), 1);
  screen.writeText(cut);
}

}  // namespace

ViewerAction viewerKey(ViewerState& state, const PrintDocument& document, int16_t key, int rows,
                       int columns) {
  if (state.searching) {
    searchKey(state, document, key, rows, columns);
    return ViewerAction::None;
  }
  state.message.clear();  // it goes with the next key
  switch (key) {
    case KeyUp: state.top = std::max(0, state.top - 1); break;
    case KeyDown: state.top = std::min(lastTop(document, state.page, rows), state.top + 1); break;
    case KeyPgUp: goToPage(state, document, state.page - 1); break;
    case KeyPgDn: goToPage(state, document, state.page + 1); break;
    case KeyHome: goToPage(state, document, 0); break;
    case KeyEnd: goToPage(state, document, static_cast<int>(document.pages.size()) - 1); break;
    case KeyLeft: state.left = std::max(0, state.left - HorizontalStep); break;
    case KeyRight:
      state.left = std::min(lastLeft(document, state.page, columns), state.left + HorizontalStep);
      break;
    case '/':
      state.searching = true;
      state.searchText.clear();
      break;
    case 'P': case 'p': return ViewerAction::Print;
    case 'S': case 's': return ViewerAction::SavePdf;
    case KeyEsc: return ViewerAction::Leave;
    default: break;
  }
  state.left = std::min(state.left, lastLeft(document, state.page, columns));
  return ViewerAction::None;
}

void drawViewer(Console& screen, const ViewerState& state, const PrintDocument& document) {
  int rows = screen.windowRows(), columns = screen.windowColumns();
  const std::vector<std::string>& lines = linesOf(document, state.page);
  screen.setColour(BodyForeground, BodyBackground);
  for (int row = 1; row <= bodyRows(rows); ++row) {
    size_t line = static_cast<size_t>(state.top + row - 1);
    std::string text = line < lines.size() && static_cast<int>(lines[line].size()) > state.left
                           ? lines[line].substr(state.left)
                           : "";
    if (document.pages.empty() && row == 1) text = "(llistat buit)";
    writeRow(screen, row, text, columns);
  }
  bool matchShown = state.matchLength > 0 && state.matchPage == state.page &&
                    state.matchLine >= state.top && state.matchLine < state.top + bodyRows(rows);
  if (matchShown) {
    int from = std::max(state.matchColumn, state.left);
    int to = std::min(state.matchColumn + state.matchLength, state.left + columns);
    if (from < to) {
      screen.setColour(MatchForeground, MatchBackground);
      screen.setCursor(static_cast<int16_t>(state.matchLine - state.top + 1),
                       static_cast<int16_t>(from - state.left + 1));
      screen.writeText(lines[state.matchLine].substr(from, to - from));
    }
  }
  screen.setColour(StatusForeground, StatusBackground);
  std::string status = statusText(state, document);
  writeRow(screen, rows, status, columns);
  screen.setCursorShape(state.searching, 25);
  if (state.searching)
    screen.setCursor(static_cast<int16_t>(rows),
                     static_cast<int16_t>(std::min<size_t>(status.size() + 1, columns)));
}

void viewDocument(const PrintDocument& document, const std::string& firstMessage) {
  ViewerState state;
  state.message = firstMessage;
  for (;;) {
    Console& screen = console();
    drawViewer(screen, state, document);
    ViewerAction action =
        viewerKey(state, document, waitKey(), screen.windowRows(), screen.windowColumns());
    std::string error;
    if (action == ViewerAction::Leave) return;
    if (action == ViewerAction::Print) {
      state.message = printWithLp(document, "", sessionSettings.tempDir, error)
                          ? "Enviat a la impressora"
                          : "No s'ha pogut imprimir: " + error;
    } else if (action == ViewerAction::SavePdf) {
      std::string name = sessionSettings.tempDir + "zideruva.pdf";
      // The reason comes before the path, which may be too long for the status line.
      state.message = writePdfOutput(document, name, error)
                          ? "Desat a " + resolvePath(name)
                          : "No s'ha pogut desar: " + error + " (" + name + ")";
    }
  }
}

bool runViewer(const PrintDocument& document, bool unknownDevice) {
  if (!startTerminalConsole()) {
    reportFailure("No hi ha cap terminal per mostrar el llistat");
    return false;
  }
  viewDocument(document, unknownDevice ? "Dispositiu desconegut: " + document.device : "");
  stopTerminalConsole();
  return true;
}

}  // namespace zideruva
