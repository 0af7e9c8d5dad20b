#include "ui/help_viewer.h"

#include <algorithm>

#include "core/session_settings.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/process.h"
#include "ui/help_file.h"
#include "ui/keyboard.h"
#include "ui/screen.h"
#include "ui/window_stack.h"

namespace {

// The key as the keyboard layer reads it (see keyCodeFor). A keypad key with the left Alt
// key held is part of a character typed as its number, which the help has no use for: 0.
int16_t helpKeyCode(const std::string& text, uint16_t state) {
  const int16_t key = keyCodeFor(text, 0);
  if ((state & LeftAltPressed) && isKeypadKey(key)) return 0;
  return keyCodeFor(text, state);
}

// The next key straight from the console: typed-ahead text stays for the field, Alt+X and
// Alt+C open nothing here, and mouse events are passed over.
int16_t readHelpKey() {
  Console& screen = console();
  for (;;) {
    const std::string text = screen.takeInput();
    if (text.empty()) {
      waitBetweenPolls();
      continue;
    }
    if (text.size() >= 4) continue;
    const int16_t key = helpKeyCode(text, screen.controlKeyState());
    if (key != 0) return key;
  }
}

// One help document on screen. Line numbers are counted from 1; next is the number of the
// line after the last one on screen.
struct HelpView {
  HelpDocument document;
  int lines = 0;
  int page = 0;
  int next = 0;
};

void showLine(const HelpView& view, int row, int line) {
  locateInWindow(static_cast<int16_t>(row), 2);
  setColour("n");
  for (const HelpRun& run : helpLineRuns(helpRecord(view.document, line))) {
    setColour(std::string(run.code));
    console().writeText(run.text);
  }
  // A line that leaves a switch on must not colour the blanks of the next scroll.
  setColour("n");
}

void showPage(const HelpView& view, int first) {
  for (int row = 1; row <= view.page; ++row) showLine(view, row, first + row - 1);
}

// Moves the window's interior up by lines rows (down when lines is negative).
void scrollInterior(int lines) {
  scrollRegion(windowBox.windowTop, windowBox.windowLeft,
               static_cast<int16_t>(windowBox.windowBottom - 2),
               static_cast<int16_t>(windowBox.windowRight - 2), static_cast<int16_t>(lines));
}

// Acts on one paging key; keys whose condition fails change nothing.
void pageHelp(HelpView& view, int16_t key) {
  const int P = view.page, L = view.lines;
  int& N = view.next;
  const bool linesBelow = N <= L, linesAbove = N - P > 1;
  switch (key) {
    case KeyDown:
      if (!linesBelow) return;
      scrollInterior(1);
      showLine(view, P, N);
      ++N;
      return;
    case KeyUp:
      if (!linesAbove) return;
      --N;
      scrollInterior(-1);
      showLine(view, 1, N - P);
      return;
    case KeyPgDn: {
      if (!linesBelow) return;
      scrollInterior(P);
      const int first = std::min(N, L - P + 1);
      showPage(view, first);
      N = first + P;
      return;
    }
    case KeyPgUp:
      if (!linesAbove) return;
      scrollInterior(-P);
      if (N - 2 * P < 1) N = 2 * P;
      showPage(view, N - 2 * P + 1);
      N = N - P + 1;  // the line that was first on screen is now the last
      return;
    case KeyHome:
      if (!linesAbove) return;
      scrollInterior(-P);
      showPage(view, 1);
      N = P + 1;
      return;
    case KeyEnd:
      if (!linesBelow) return;
      scrollInterior(P);
      showPage(view, L - P + 1);
      N = L + 1;
      return;
    default:
      return;
  }
}

void showConsoleHelp(const std::string& topic) {
  const int16_t rows = screenRows(), columns = screenColumns();
  HelpView view;
  view.document = loadHelpDocument("AJUDA\\" + topic + ".HLP", columns);
  view.lines = helpLineCount(view.document);
  view.page = std::max(rows - 8, 0);
  view.next = view.page + 1;

  setColour("+h");
  openWindow(4, 1, static_cast<int16_t>(rows - 3), columns);
  drawFrame(2);
  setColour("n");
  showPage(view, 1);

  for (;;) {
    const int16_t key = readHelpKey();
    if (key == KeyEsc) break;
    if (key == KeyF1 && topic != GeneralHelpTopic) {
      showHelp(GeneralHelpTopic);
    } else if (view.page > 0) {
      pageHelp(view, key);
    }
  }
  closeWindow();
  setColour("-");
}

// A name without a directory is looked for on PATH, as the system does for a command.
std::string programFor(const std::string& name) {
  if (name.find_first_of("/\\") != std::string::npos) return name;
  const std::string found = findProgramOnPath(name);
  return found.empty() ? name : found;
}

}  // namespace

std::vector<std::string> externalHelpCommand(const std::string& topic) {
  const std::string interpreter = environmentValue("COMSPEC");
  if (interpreter.empty()) return {};
  std::vector<std::string> words{interpreter};
  const std::string rest = " /C QOLPEN AJUDA\\" + topic + ".HTM";
  size_t at = 0;
  while ((at = rest.find_first_not_of(' ', at)) != std::string::npos) {
    const size_t end = std::min(rest.find(' ', at), rest.size());
    words.push_back(rest.substr(at, end - at));
    at = end;
  }
  return words;
}

void showHelp(const std::string& topic) {
  if (sessionSettings.terminalKind != "WIN") {
    showConsoleHelp(topic);
    return;
  }
  std::vector<std::string> words = externalHelpCommand(topic);
  if (words.empty()) return;
  const std::string program = programFor(words.front());
  words.erase(words.begin());
  runProgram(program, words);  // what the launcher does, or whether it starts, is its own
}
