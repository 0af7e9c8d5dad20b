// What the terminal console sends, and what it costs, for the three things a form does most:
// a character typed into a field, an 80 x 19 window opened and closed, and a full repaint.
// Output goes to /dev/null; the "bytes" counter is what a terminal would receive per
// iteration.
#include <fcntl.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include "platform/terminal_console.h"

namespace {

class NullTerminal {
 public:
  NullTerminal() : fd_(open("/dev/null", O_WRONLY)), console_(-1, fd_) {
    console_.start();
    drawForm();
    console_.flush();
  }
  ~NullTerminal() {
    console_.stop();
    close(fd_);
  }
  TerminalConsole& console() { return console_; }

 private:
  // A form screen: title bar, a framed panel with labels and fields, a status line.
  void drawForm() {
    Console& c = console_;
    c.setColour(15, 1);
    c.clear();
    c.setColour(0, 7);
    c.setCursor(1, 1);
    c.writeText(" LLISTAT DE DEPARTAMENTS BUITS" + std::string(50, ' '));
    c.setColour(15, 1);
    c.setCursor(4, 10);
    c.writeText("\xC9" + std::string(58, '\xCD') + "\xBB");
    for (int16_t r = 5; r <= 18; ++r) {
      c.setCursor(r, 10);
      c.writeText("\xBA" + std::string(58, ' ') + "\xBA");
    }
    c.setCursor(19, 10);
    c.writeText("\xC8" + std::string(58, '\xCD') + "\xBC");
    for (int16_t r = 6; r <= 16; r += 2) {
      c.setColour(15, 1);
      c.setCursor(r, 13);
      c.writeText("Finca des de la n\xA3mero:");
      c.setColour(0, 7);
      c.setCursor(r, 38);
      c.writeText(std::string(20, ' '));
    }
    c.setColour(14, 0);
    c.setCursor(25, 1);
    c.writeText(" F1 Ajuda  F4 Llista  Esc Sortir" + std::string(48, ' '));
  }

  int fd_;
  TerminalConsole console_;
};

void reportBytes(benchmark::State& state, uint64_t bytes) {
  state.counters["bytes"] = benchmark::Counter(double(bytes), benchmark::Counter::kAvgIterations);
}

// The field editor writes the whole field again after each key; only the new character
// differs from what the terminal shows.
void TypedCharacter(benchmark::State& state) {
  NullTerminal terminal;
  TerminalConsole& c = terminal.console();
  std::string field(20, ' ');
  uint64_t before = c.bytesWritten();
  size_t position = 0;
  for (auto _ : state) {
    if (position == field.size()) {
      position = 0;
      field.assign(20, ' ');
    }
    field[position] = char('0' + position % 10);
    ++position;
    c.setColour(0, 7);
    c.setCursor(6, 38);
    c.writeText(field);
    c.setCursor(6, int16_t(38 + position));
    c.flush();
  }
  reportBytes(state, c.bytesWritten() - before);
}
BENCHMARK(TypedCharacter);

// A pop-up over rows 4 to 22: the covered cells read back and a frame drawn (one flush),
// then every saved cell written back one by one with its colour (another flush).
void OpenAndCloseWindow(benchmark::State& state) {
  NullTerminal terminal;
  TerminalConsole& c = terminal.console();
  const int16_t top = 4, bottom = 22, left = 1, right = 80;
  std::vector<ConsoleCell> saved;
  uint64_t before = c.bytesWritten();
  for (auto _ : state) {
    saved.clear();
    for (int16_t r = top; r <= bottom; ++r) {
      for (int16_t col = left; col <= right; ++col) saved.push_back(c.readCell(r, col));
    }
    c.setColour(15, 4);
    for (int16_t r = top; r <= bottom; ++r) {
      c.setCursor(r, left);
      bool edge = r == top || r == bottom;
      c.writeText(std::string(1, edge ? (r == top ? '\xDA' : '\xC0') : '\xB3') +
                  std::string(78, edge ? '\xC4' : ' ') +
                  std::string(1, edge ? (r == top ? '\xBF' : '\xD9') : '\xB3'));
    }
    c.setCursor(5, 3);
    c.writeText("Fitxer de finques");
    c.flush();
    size_t i = 0;
    for (int16_t r = top; r <= bottom; ++r) {
      for (int16_t col = left; col <= right; ++col, ++i) {
        c.setColour(saved[i].attribute & 15, saved[i].attribute >> 4);
        c.setCursor(r, col);
        c.writeText(std::string(1, char(saved[i].character)));
      }
    }
    c.flush();
  }
  reportBytes(state, c.bytesWritten() - before);
}
BENCHMARK(OpenAndCloseWindow);

// Everything drawn again (start, resume after another program, terminal resized).
void FullRepaint(benchmark::State& state) {
  NullTerminal terminal;
  TerminalConsole& c = terminal.console();
  uint64_t before = c.bytesWritten();
  for (auto _ : state) {
    c.setTerminalSize(25, 80);
    c.flush();
  }
  reportBytes(state, c.bytesWritten() - before);
}
BENCHMARK(FullRepaint);

}  // namespace

BENCHMARK_MAIN();
