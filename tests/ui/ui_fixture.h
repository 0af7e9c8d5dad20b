// A test on the in-memory console, with the session's work directory in a fresh temporary
// directory and every screen and keyboard record at its start state.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "core/session_settings.h"
#include "paths.h"
#include "platform/memory_console.h"
#include "ui/keyboard.h"
#include "ui/screen.h"
#include "ui/window_stack.h"

// Attributes of the colour table below, one distinct attribute per colour.
constexpr uint8_t Colour0 = 0x0F, Colour1 = 0x07, Colour2 = 0x70, Colour3 = 0x32,
                  Colour4 = 0x1E;

class UiTest : public ::testing::Test {
 protected:
  UiTest() : UiTest(25, 80) {}
  UiTest(int16_t rows, int16_t columns) : screen(rows, columns) {
    resetSessionSettings();
    sessionSettings.tempDir = dir.path() + "/";
    sessionSettings.colourTable = {{{15, 0}, {7, 0}, {0, 7}, {2, 3}, {14, 1}}};
    setConsole(&screen);
    resetScreenState();
    resetWindowStack();
    resetKeyboardState();
    setHotKeyHandlers(nullptr, nullptr);
  }
  ~UiTest() override {
    setConsole(nullptr);
    resetScreenState();
    resetWindowStack();
    resetKeyboardState();
    resetSessionSettings();
  }

  std::string stackFile() const { return dir.file("WinPush.tmp"); }

  // Every cell different, so that a misplaced repaint shows.
  void fillPattern() {
    for (int16_t row = 1; row <= screen.bufferRows(); ++row) {
      screen.setCursor(row, 1);
      for (int16_t column = 1; column <= screen.bufferColumns(); ++column) {
        screen.setColour(static_cast<int16_t>((row + column) % 16),
                         static_cast<int16_t>((row * 3 + column) % 16));
        screen.writeText(std::string(1, static_cast<char>(' ' + (row * 7 + column) % 90)));
      }
    }
    screen.setColour(7, 0);
    screen.setCursor(1, 1);
  }

  // Characters and attributes of the whole screen.
  std::string snapshot() {
    std::string cells;
    for (int16_t row = 1; row <= screen.bufferRows(); ++row) {
      for (int16_t column = 1; column <= screen.bufferColumns(); ++column) {
        ConsoleCell cell = screen.cell(row, column);
        cells += static_cast<char>(cell.character);
        cells += static_cast<char>(cell.attribute);
      }
    }
    return cells;
  }

  // "" when two snapshots are equal, else the first cell where they differ.
  static std::string firstDifference(const std::string& got, const std::string& expected,
                                     int16_t columns = 80) {
    if (got.size() != expected.size()) return "snapshots of different sizes";
    for (size_t i = 0; i < got.size(); ++i) {
      if (got[i] == expected[i]) continue;
      const size_t cell = i / 2;
      return "row " + std::to_string(cell / columns + 1) + " column " +
             std::to_string(cell % columns + 1) + (i % 2 ? " attribute" : " character");
    }
    return "";
  }

  TempDir dir;
  MemoryConsole screen;
};
