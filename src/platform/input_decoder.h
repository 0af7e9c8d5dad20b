// Turning the bytes a terminal sends into the console's key and mouse events.
//
// Three layers, each testable on its own:
//   ByteReader       - the bytes, from a descriptor or fed by hand, with push-back and a
//                      wait for the rest of a sequence (the Esc time-out);
//   readControlSequence - the parameters of a CSI or SS3 sequence;
//   InputDecoder     - sequences and characters to key texts with their control-key state
//                      (Windows-style: byte 0 + PC scan code for keys without a character).
//
// The decoder takes the xterm forms and the rxvt/vt220 ones (tmux sends a mix of both):
// SS3 P..S and CSI 11~..14~ for F1-F4, CSI n~ for the editing and function keys, the
// modifier parameter m of CSI 1;m X and CSI n;m~ (m - 1: 1 Shift, 2 Alt, 4 Ctrl, 8 Meta),
// rxvt's CSI n^ / n$ / n@ and its shifted F3-F10 (CSI 25~..34~), CSI Z for Shift+Tab, SGR
// mouse reports and bracketed paste. A key after ESC is that key with Alt. A key with
// modifiers keeps its plain scan code; the modifiers travel in the control-key state.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

// Milliseconds to wait for the rest of a sequence after ESC: ESCDELAY from the
// environment when it is a number (0 to 1000), else 10.
int escapeDelayMs();

class ByteReader {
 public:
  // Reads from fd (non-blocking reads after poll); -1 reads nothing but what is fed.
  explicit ByteReader(int fd = -1) : fd_(fd) {}

  // Appends bytes as if they had arrived.
  void feed(std::string_view bytes);
  // Reads what the descriptor has without waiting; true when anything arrived.
  bool fill();
  // The next byte, waiting up to timeoutMs for one to arrive when none is buffered
  // (0 = only what is buffered or already readable); -1 when none came.
  int next(int timeoutMs);
  // Puts a byte back in front of the buffer.
  void pushBack(uint8_t byte);
  bool hasBuffered() const { return !buffer_.empty(); }
  // Drops what is buffered and what the descriptor has ready.
  void clear();
  int fd() const { return fd_; }

 private:
  bool waitReadable(int timeoutMs);
  int fd_;
  std::deque<uint8_t> buffer_;
};

// A CSI (ESC [) or SS3 (ESC O) sequence.
struct ControlSequence {
  char introducer = '[';     // '[' or 'O'
  char privateMarker = 0;    // '<', '=', '>', '?' or, for the Linux console's ESC [ [ A, '['
  std::vector<int> params;   // missing parameters are 0
  char intermediate = 0;     // last byte in 0x20..0x2F, if any
  char final = 0;            // 0x40..0x7E
};

// Reads the rest of a sequence whose introducer has been read, waiting up to timeoutMs for
// each byte. False when the bytes end, or something not part of a sequence arrives, before
// the final byte (the bytes read are consumed).
bool readControlSequence(ByteReader& reader, char introducer, ControlSequence& sequence,
                         int timeoutMs);

// One input event as the console hands it on.
struct InputEvent {
  // One byte for a character; byte 0 + scan code for a key without one; for a mouse event
  // MouseKeyTextLead twice, the event kind (MouseButtonReleased or 0 for a press) and the
  // button (1 left, 2 right).
  std::string text;
  uint16_t controlKeyState = 0;
  int16_t mouseRow = 0, mouseColumn = 0;
  bool isMouse() const { return text.size() == 4; }
};

// The key for a complete sequence (modifiers included); false for sequences that are no
// key (replies, mouse reports, paste brackets) or unknown.
bool keyForSequence(const ControlSequence& sequence, InputEvent& event);
// The key for a byte that followed ESC: Alt plus that key.
InputEvent altKeyForByte(uint8_t byte);
// Unicode text (UTF-8) as typed characters of code page 858; line ends become Enter and
// characters the code page lacks are dropped.
std::vector<InputEvent> charactersForText(std::string_view utf8);

class InputDecoder {
 public:
  explicit InputDecoder(ByteReader& reader, int escapeDelay = escapeDelayMs())
      : reader_(reader), escapeDelay_(escapeDelay) {}

  // The next event from the bytes already read (waiting only for the rest of a cut
  // sequence); false when no complete event is there. Unknown sequences, releases of
  // buttons other than left and right, and wheel turns are dropped on the way.
  bool next(InputEvent& event);
  // Decoded events not yet taken (a paste gives many at once).
  bool hasPending() const { return !queue_.empty(); }
  // Drops decoded events not yet taken.
  void discard() { queue_.clear(); }

 private:
  void decodeOne();
  void decodeEscape();
  void decodeSequence(char introducer, uint16_t extraState);
  void decodeMouse(const ControlSequence& sequence, uint16_t extraState);
  void decodePaste();
  void decodeCharacter(uint8_t lead, uint16_t extraState);
  ByteReader& reader_;
  int escapeDelay_;
  std::deque<InputEvent> queue_;
};
