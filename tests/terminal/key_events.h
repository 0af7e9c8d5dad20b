// Helpers shared by the key decoding tests.
#pragma once

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "platform/console.h"
#include "platform/input_decoder.h"

// A key text and control-key state as one readable word: "00 3B +ctrl", "61", "esc".
inline std::string describeKey(const std::string& text, uint16_t state) {
  std::ostringstream out;
  for (size_t i = 0; i < text.size(); ++i) {
    static const char hex[] = "0123456789ABCDEF";
    if (i) out << ' ';
    out << hex[uint8_t(text[i]) >> 4] << hex[uint8_t(text[i]) & 15];
  }
  if (state & ShiftPressed) out << " +shift";
  if (state & LeftCtrlPressed) out << " +ctrl";
  if (state & LeftAltPressed) out << " +alt";
  return out.str();
}

// Everything the decoder makes of bytes, each event described as above, joined by " | ".
inline std::string decodeAll(const std::string& bytes) {
  ByteReader reader;
  reader.feed(bytes);
  InputDecoder decoder(reader, 0);
  std::string out;
  InputEvent event;
  while (decoder.next(event)) {
    if (!out.empty()) out += " | ";
    out += describeKey(event.text, event.controlKeyState);
    if (event.isMouse()) {
      out += " @" + std::to_string(event.mouseRow) + "," + std::to_string(event.mouseColumn);
    }
  }
  return out;
}

// Key texts by name, for the expectation tables.
inline std::string scan(uint8_t code) { return std::string(1, '\0') + char(code); }
