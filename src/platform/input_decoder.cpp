#include "platform/input_decoder.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>

#include "platform/code_page.h"
#include "platform/console.h"
#include "platform/memory_console.h"

namespace {

// Once a sequence has begun, the rest of it is waited for this long: a terminal sends a
// sequence in one piece, but a slow link may cut it.
constexpr int SequenceRestMs = 100;
// A paste without its closing bracket ends after this much silence.
constexpr int PasteSilenceMs = 300;

constexpr uint8_t Esc = 0x1B;

// Scan codes of the keys without a character.
enum Scan : uint8_t {
  ScanBackTab = 0x0F,
  ScanF1 = 0x3B, ScanF2, ScanF3, ScanF4, ScanF5, ScanF6, ScanF7, ScanF8, ScanF9, ScanF10,
  ScanHome = 0x47, ScanUp = 0x48, ScanPgUp = 0x49, ScanLeft = 0x4B, ScanCentre = 0x4C,
  ScanRight = 0x4D, ScanEnd = 0x4F, ScanDown = 0x50, ScanPgDn = 0x51, ScanIns = 0x52,
  ScanDel = 0x53, ScanF11 = 0x85, ScanF12 = 0x86,
};

InputEvent scanKey(uint8_t scan, uint16_t state = 0) {
  return InputEvent{std::string(1, '\0') + char(scan), state};
}

InputEvent charKey(uint8_t byte, uint16_t state = 0) {
  return InputEvent{std::string(1, char(byte)), state};
}

// The control-key state for the xterm modifier parameter (1 + a bit mask).
uint16_t modifierState(int parameter) {
  if (parameter < 2) return 0;
  int mask = parameter - 1;
  uint16_t state = 0;
  if (mask & 1) state |= ShiftPressed;
  if (mask & (2 | 8)) state |= LeftAltPressed;
  if (mask & 4) state |= LeftCtrlPressed;
  return state;
}

// Scan code of the key of the US layout that types this ASCII character (shifted or
// not); 0 for none. Shifted characters set shifted.
uint8_t usLayoutScan(uint8_t ch, bool& shifted) {
  static const char* const rows[][2] = {
      // scan of the first key, unshifted keys, shifted keys
      {"\x02", "1234567890-="}, {"\x02", "!@#$%^&*()_+"},
      {"\x10", "qwertyuiop[]"}, {"\x10", "QWERTYUIOP{}"},
      {"\x1E", "asdfghjkl;'`"}, {"\x1E", "ASDFGHJKL:\"~"},
      {"\x2C", "zxcvbnm,./"},   {"\x2C", "ZXCVBNM<>?"},
  };
  shifted = false;
  if (ch == ' ') return 0x39;
  if (ch == '\\') return 0x2B;
  if (ch == '|') {
    shifted = true;
    return 0x2B;
  }
  for (size_t r = 0; r < sizeof rows / sizeof rows[0]; ++r) {
    const char* keys = rows[r][1];
    for (int i = 0; keys[i]; ++i) {
      if (uint8_t(keys[i]) == ch) {
        shifted = r % 2 == 1;
        return uint8_t(rows[r][0][0] + i);
      }
    }
  }
  return 0;
}

// F1..F12 by number 1..12.
uint8_t functionScan(int n) { return n <= 10 ? uint8_t(ScanF1 + n - 1) : uint8_t(ScanF11 + n - 11); }

// CSI n~ (and rxvt's n^, n$, n@): the key and any modifier the number itself carries.
bool tildeKey(int number, uint8_t& scan, uint16_t& state) {
  state = 0;
  switch (number) {
    case 1: case 7: scan = ScanHome; return true;
    case 2: scan = ScanIns; return true;
    case 3: scan = ScanDel; return true;
    case 4: case 8: scan = ScanEnd; return true;
    case 5: scan = ScanPgUp; return true;
    case 6: scan = ScanPgDn; return true;
    case 11: case 12: case 13: case 14: case 15: scan = functionScan(number - 10); return true;
    case 17: case 18: case 19: case 20: case 21: scan = functionScan(number - 11); return true;
    case 23: case 24: scan = functionScan(number - 12); return true;
    // rxvt's shifted F3..F10.
    case 25: case 26: scan = functionScan(number - 22); state = ShiftPressed; return true;
    case 28: case 29: scan = functionScan(number - 23); state = ShiftPressed; return true;
    case 31: case 32: case 33: case 34:
      scan = functionScan(number - 24);
      state = ShiftPressed;
      return true;
    default: return false;
  }
}

// The final letters of CSI and SS3 cursor and function keys.
bool letterKey(char final, uint8_t& scan) {
  switch (final) {
    case 'A': scan = ScanUp; return true;
    case 'B': scan = ScanDown; return true;
    case 'C': scan = ScanRight; return true;
    case 'D': scan = ScanLeft; return true;
    case 'E': scan = ScanCentre; return true;
    case 'F': scan = ScanEnd; return true;
    case 'H': scan = ScanHome; return true;
    case 'P': scan = ScanF1; return true;
    case 'Q': scan = ScanF2; return true;
    case 'R': scan = ScanF3; return true;
    case 'S': scan = ScanF4; return true;
    default: return false;
  }
}

int param(const ControlSequence& s, size_t i, int missing = 0) {
  return i < s.params.size() ? s.params[i] : missing;
}

// Decodes one UTF-8 character whose lead byte has been read; -1 when malformed.
char32_t readUtf8(ByteReader& reader, uint8_t lead) {
  int extra;
  char32_t cp;
  if (lead >= 0xC2 && lead <= 0xDF) {
    extra = 1;
    cp = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    extra = 2;
    cp = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    extra = 3;
    cp = lead & 0x07;
  } else {
    return char32_t(-1);
  }
  for (int i = 0; i < extra; ++i) {
    int b = reader.next(SequenceRestMs);
    if (b < 0) return char32_t(-1);
    if ((b & 0xC0) != 0x80) {
      reader.pushBack(uint8_t(b));
      return char32_t(-1);
    }
    cp = (cp << 6) | (b & 0x3F);
  }
  if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
      (cp >= 0xD800 && cp <= 0xDFFF)) {
    return char32_t(-1);
  }
  return cp;
}

// The code page byte a typed character becomes; -1 when it has none or would be taken
// for a control key.
int typedByte(char32_t cp) {
  int byte = byteForUnicode(cp);
  return byte < 32 || byte == 127 ? -1 : byte;
}

}  // namespace

int escapeDelayMs() {
  const char* text = std::getenv("ESCDELAY");
  if (!text || !*text) return 10;
  char* end = nullptr;
  long value = std::strtol(text, &end, 10);
  if (*end != '\0' || value < 0 || value > 1000) return 10;
  return int(value);
}

// ---- ByteReader ----

void ByteReader::feed(std::string_view bytes) {
  buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
}

void ByteReader::pushBack(uint8_t byte) { buffer_.push_front(byte); }

void ByteReader::clear() {
  fill();
  buffer_.clear();
}

bool ByteReader::waitReadable(int timeoutMs) {
  if (fd_ < 0) return false;
  using Clock = std::chrono::steady_clock;
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    pollfd p{fd_, POLLIN, 0};
    int left = int(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
                       .count());
    int r = poll(&p, 1, left < 0 ? 0 : left);
    if (r > 0) return (p.revents & POLLIN) != 0;
    if (r == 0 || errno != EINTR) return false;
  }
}

bool ByteReader::fill() {
  if (fd_ < 0) return false;
  bool got = false;
  while (waitReadable(0)) {
    char chunk[4096];
    ssize_t n = read(fd_, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    buffer_.insert(buffer_.end(), chunk, chunk + n);
    got = true;
    if (size_t(n) < sizeof chunk) break;
  }
  return got;
}

int ByteReader::next(int timeoutMs) {
  if (buffer_.empty()) {
    fill();
    if (buffer_.empty() && timeoutMs > 0 && waitReadable(timeoutMs)) fill();
    if (buffer_.empty()) return -1;
  }
  uint8_t byte = buffer_.front();
  buffer_.pop_front();
  return byte;
}

// ---- Control sequences ----

bool readControlSequence(ByteReader& reader, char introducer, ControlSequence& sequence,
                         int timeoutMs) {
  sequence = ControlSequence{};
  sequence.introducer = introducer;
  int b = reader.next(timeoutMs);
  if (b < 0) return false;
  if (introducer == '[' && (b == '<' || b == '=' || b == '>' || b == '?' || b == '[')) {
    sequence.privateMarker = char(b);
    b = reader.next(timeoutMs);
  }
  int current = -1;  // the parameter being read; -1 before its first digit
  auto finish = [&](char final) {
    if (current >= 0 || !sequence.params.empty()) {
      sequence.params.push_back(current < 0 ? 0 : current);
    }
    sequence.final = final;
    return true;
  };
  for (;;) {
    if (b < 0) return false;
    if (b >= '0' && b <= '9') {
      current = current < 0 ? b - '0' : std::min(current * 10 + (b - '0'), 99999);
    } else if (b == ';' || b == ':') {
      sequence.params.push_back(current < 0 ? 0 : current);
      current = -1;
    } else if (b == '$' && introducer == '[' && sequence.privateMarker == 0) {
      // rxvt ends its shifted keys with '$' (CSI 24$ is Shift+F12).
      return finish('$');
    } else if (b >= 0x20 && b <= 0x2F) {
      sequence.intermediate = char(b);
    } else if (b >= 0x40 && b <= 0x7E) {
      return finish(char(b));
    } else {
      // A new sequence or a key began: this one was cut short.
      if (b == Esc) reader.pushBack(uint8_t(b));
      return false;
    }
    b = reader.next(timeoutMs);
  }
}

// ---- Key tables ----

bool keyForSequence(const ControlSequence& s, InputEvent& event) {
  if (s.intermediate != 0) return false;
  uint8_t scan = 0;
  uint16_t state = 0;

  if (s.privateMarker == '[') {
    // The Linux console's F1..F5.
    if (s.final < 'A' || s.final > 'E' || !s.params.empty()) return false;
    event = scanKey(functionScan(s.final - 'A' + 1));
    return true;
  }
  if (s.privateMarker != 0) return false;

  if (s.introducer == 'O') {
    // Application keypad keys, and old xterm's modifier as the only parameter.
    int modifier = s.params.size() >= 2 ? s.params[1] : param(s, 0);
    state = modifierState(modifier);
    if (letterKey(s.final, scan)) {
      event = scanKey(scan, state);
      return true;
    }
    if (s.final >= 'a' && s.final <= 'd') {  // rxvt: Ctrl + arrow
      letterKey(char(s.final - 'a' + 'A'), scan);
      event = scanKey(scan, LeftCtrlPressed);
      return true;
    }
    if (s.final == 'M') {
      event = charKey('\r', state);
      return true;
    }
    static const char keypad[] = "*+,-./0123456789";  // SS3 j .. SS3 y
    if (s.final >= 'j' && s.final <= 'y') {
      event = charKey(uint8_t(keypad[s.final - 'j']), state);
      return true;
    }
    if (s.final == 'X') {
      event = charKey('=', state);
      return true;
    }
    return false;
  }

  switch (s.final) {
    case '~':
    case '^':
    case '$':
    case '@': {
      if (s.params.empty() || !tildeKey(s.params[0], scan, state)) return false;
      if (s.final == '~') state |= modifierState(param(s, 1));
      if (s.final == '^' || s.final == '@') state |= LeftCtrlPressed;
      if (s.final == '$' || s.final == '@') state |= ShiftPressed;
      event = scanKey(scan, state);
      return true;
    }
    case 'Z':
      event = scanKey(ScanBackTab, ShiftPressed | modifierState(param(s, 1)));
      return true;
    case 'a': case 'b': case 'c': case 'd':  // rxvt: Shift + arrow
      letterKey(char(s.final - 'a' + 'A'), scan);
      event = scanKey(scan, ShiftPressed);
      return true;
    default:
      if (!letterKey(s.final, scan)) return false;
      // CSI row;column R is also a cursor position reply; only row 1 reads as F3.
      if (s.params.size() > 2 || (s.params.size() >= 1 && param(s, 0) != 1)) return false;
      event = scanKey(scan, modifierState(param(s, 1)));
      return true;
  }
}

InputEvent altKeyForByte(uint8_t byte) {
  // A digit after ESC is what the terminal sends for Alt and a keypad digit with Num Lock
  // on (and for Alt and a digit of the main row): taken as the keypad key, so that
  // Alt+digits character entry works on a terminal.
  static const uint8_t keypadScan[10] = {ScanIns,    ScanEnd,   ScanDown, ScanPgDn, ScanLeft,
                                         ScanCentre, ScanRight, ScanHome, ScanUp,   ScanPgUp};
  if (byte >= '0' && byte <= '9') return scanKey(keypadScan[byte - '0'], LeftAltPressed);
  switch (byte) {
    case '\r': return scanKey(0x1C, LeftAltPressed);
    case '\t': return scanKey(0xA5, LeftAltPressed);
    case 0x08:
    case 0x7F: return scanKey(0x0E, LeftAltPressed);
    case Esc: return scanKey(0x01, LeftAltPressed);
    // Ctrl+Space sends byte 0, as without Alt; a key text of byte 0 would read as no key.
    case 0x00: return charKey(' ', LeftAltPressed | LeftCtrlPressed);
    default: break;
  }
  if (byte >= 1 && byte <= 26) {  // Ctrl + a letter
    bool shifted;
    return scanKey(usLayoutScan(uint8_t('a' + byte - 1), shifted),
                   LeftAltPressed | LeftCtrlPressed);
  }
  bool shifted = false;
  uint8_t scan = byte < 0x80 ? usLayoutScan(byte, shifted) : 0;
  if (scan == 0) return charKey(byte, LeftAltPressed);
  return scanKey(scan, uint16_t(LeftAltPressed | (shifted ? ShiftPressed : 0)));
}

std::vector<InputEvent> charactersForText(std::string_view utf8) {
  ByteReader reader;
  reader.feed(utf8);
  std::vector<InputEvent> out;
  for (int b = reader.next(0); b >= 0; b = reader.next(0)) {
    if (b == '\r' || b == '\n') {
      if (b == '\r') {
        int after = reader.next(0);
        if (after >= 0 && after != '\n') reader.pushBack(uint8_t(after));
      }
      out.push_back(charKey('\r'));
    } else if (b == '\t') {
      out.push_back(charKey('\t'));
    } else if (b >= 0x20 && b < 0x7F) {
      out.push_back(charKey(uint8_t(b)));
    } else if (b >= 0x80) {
      int byte = typedByte(readUtf8(reader, uint8_t(b)));
      if (byte >= 0) out.push_back(charKey(uint8_t(byte)));
    }
  }
  return out;
}

// ---- Decoder ----

bool InputDecoder::next(InputEvent& event) {
  while (queue_.empty()) {
    if (!reader_.hasBuffered()) reader_.fill();
    if (!reader_.hasBuffered()) return false;
    decodeOne();
  }
  event = queue_.front();
  queue_.pop_front();
  return true;
}

void InputDecoder::decodeOne() {
  int b = reader_.next(0);
  if (b < 0) return;
  if (b == Esc) {
    decodeEscape();
  } else {
    decodeCharacter(uint8_t(b), 0);
  }
}

void InputDecoder::decodeEscape() {
  int c = reader_.next(escapeDelay_);
  if (c < 0) {
    queue_.push_back(charKey(Esc));
    return;
  }
  if (c == '[' || c == 'O') {
    decodeSequence(char(c), 0);
    return;
  }
  if (c == Esc) {
    // ESC ESC [ ... is an Alt-modified sequence (rxvt); otherwise two Esc keys.
    int d = reader_.next(escapeDelay_);
    if (d == '[' || d == 'O') {
      decodeSequence(char(d), LeftAltPressed);
      return;
    }
    if (d >= 0) reader_.pushBack(uint8_t(d));
    reader_.pushBack(Esc);
    queue_.push_back(charKey(Esc));
    return;
  }
  if (c >= 0x80) {
    decodeCharacter(uint8_t(c), LeftAltPressed);
    return;
  }
  queue_.push_back(altKeyForByte(uint8_t(c)));
}

void InputDecoder::decodeSequence(char introducer, uint16_t extraState) {
  // ESC [ or ESC O with nothing after it within the Esc time-out is Alt + that key.
  int first = reader_.next(escapeDelay_);
  if (first < 0) {
    InputEvent alt = altKeyForByte(uint8_t(introducer));
    alt.controlKeyState |= extraState;
    queue_.push_back(alt);
    return;
  }
  reader_.pushBack(uint8_t(first));
  ControlSequence s;
  if (!readControlSequence(reader_, introducer, s, SequenceRestMs)) return;
  if (introducer == '[' && s.privateMarker == '<' && (s.final == 'M' || s.final == 'm')) {
    decodeMouse(s, extraState);
    return;
  }
  if (introducer == '[' && s.privateMarker == 0 && s.final == '~' && param(s, 0) == 200) {
    decodePaste();
    return;
  }
  InputEvent event;
  if (keyForSequence(s, event)) {
    event.controlKeyState |= extraState;
    queue_.push_back(event);
  }
}

void InputDecoder::decodeMouse(const ControlSequence& s, uint16_t extraState) {
  if (s.params.size() < 3) return;
  int code = s.params[0];
  if (code & (32 | 64 | 128)) return;  // moves and wheel turns
  int button = code & 3;
  if (button != 0 && button != 2) return;  // only the left and the right button
  uint16_t state = extraState;
  if (code & 4) state |= ShiftPressed;
  if (code & 8) state |= LeftAltPressed;
  if (code & 16) state |= LeftCtrlPressed;
  InputEvent event;
  event.text = {char(MouseKeyTextLead), char(MouseKeyTextLead),
                char(s.final == 'm' ? MouseButtonReleased : 0), char(button == 0 ? 1 : 2)};
  event.controlKeyState = state;
  event.mouseColumn = int16_t(std::min(s.params[1], 32767));
  event.mouseRow = int16_t(std::min(s.params[2], 32767));
  queue_.push_back(event);
}

void InputDecoder::decodePaste() {
  static const std::string_view closing = "\x1b[201~";
  std::string text;
  for (int b = reader_.next(PasteSilenceMs); b >= 0; b = reader_.next(PasteSilenceMs)) {
    text.push_back(char(b));
    if (text.size() >= closing.size() &&
        std::string_view(text).substr(text.size() - closing.size()) == closing) {
      text.resize(text.size() - closing.size());
      break;
    }
  }
  for (const InputEvent& e : charactersForText(text)) queue_.push_back(e);
}

void InputDecoder::decodeCharacter(uint8_t lead, uint16_t extraState) {
  if (lead >= 0x80) {
    int byte = typedByte(readUtf8(reader_, lead));
    if (byte >= 0) queue_.push_back(charKey(uint8_t(byte), extraState));
    return;
  }
  switch (lead) {
    case 0x7F:
    case 0x08: queue_.push_back(charKey(0x08, extraState)); return;
    case '\t':
    case '\r': queue_.push_back(charKey(lead, extraState)); return;
    case 0x00: queue_.push_back(charKey(' ', extraState | LeftCtrlPressed)); return;
    default: break;
  }
  uint16_t state = extraState;
  if (lead < 0x20) state |= LeftCtrlPressed;
  queue_.push_back(charKey(lead, state));
}
