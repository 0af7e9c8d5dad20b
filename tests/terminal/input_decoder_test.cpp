#include "platform/input_decoder.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

#include <gtest/gtest.h>

#include "key_events.h"

#ifdef KIV_HAVE_VTERM
#include <vterm.h>

#include "vterm_screen.h"
#endif

namespace {

struct Case {
  const char* bytes;
  const char* expected;
};

void expectTable(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    EXPECT_EQ(decodeAll(c.bytes), c.expected) << "input " << testing::PrintToString(c.bytes);
  }
}

}  // namespace

// The forms xterm documents for these keys (ctlseqs, PC-style function keys), and those
// of rxvt, the vt220 and the Linux console for the keys xterm sends differently.
TEST(InputDecoder, TakesTheXtermAndRxvtForms) {
  expectTable({
      {"\x1bOP", "00 3B"},
      {"\x1b[1;2P", "00 3B +shift"},
      {"\x1b[1;5Q", "00 3C +ctrl"},
      {"\x1b[1;3R", "00 3D +alt"},
      {"\x1b[1;6S", "00 3E +shift +ctrl"},
      {"\x1bO5P", "00 3B +ctrl"},
      {"\x1b[11~", "00 3B"},
      {"\x1b[14~", "00 3E"},
      {"\x1b[15;5~", "00 3F +ctrl"},
      {"\x1b[17~", "00 40"},
      {"\x1b[21;4~", "00 44 +shift +alt"},
      {"\x1b[23;2~", "00 85 +shift"},
      {"\x1b[24;7~", "00 86 +ctrl +alt"},
      {"\x1b[25~", "00 3D +shift"},
      {"\x1b[26~", "00 3E +shift"},
      {"\x1b[28~", "00 3F +shift"},
      {"\x1b[34~", "00 44 +shift"},
      {"\x1b[11^", "00 3B +ctrl"},
      {"\x1b[24$", "00 86 +shift"},
      {"\x1b[23@", "00 85 +shift +ctrl"},
      {"\x1b[[A", "00 3B"},
      {"\x1b[[E", "00 3F"},
      {"\x1b[A", "00 48"},
      {"\x1bOB", "00 50"},
      {"\x1b[1;5C", "00 4D +ctrl"},
      {"\x1b[1;9D", "00 4B +alt"},
      {"\x1b[a", "00 48 +shift"},
      {"\x1bOd", "00 4B +ctrl"},
      {"\x1b[E", "00 4C"},
      {"\x1bOE", "00 4C"},
      {"\x1b[H", "00 47"},
      {"\x1b[F", "00 4F"},
      {"\x1bOH", "00 47"},
      {"\x1b[1~", "00 47"},
      {"\x1b[4~", "00 4F"},
      {"\x1b[7~", "00 47"},
      {"\x1b[8~", "00 4F"},
      {"\x1b[1;5H", "00 47 +ctrl"},
      {"\x1b[2~", "00 52"},
      {"\x1b[3;5~", "00 53 +ctrl"},
      {"\x1b[5~", "00 49"},
      {"\x1b[6;3~", "00 51 +alt"},
      {"\x1b[Z", "00 0F +shift"},
      {"\x1bOM", "0D"},
      {"\x1bOq", "31"},
      {"\x1bOk", "2B"},
  });
}

TEST(InputDecoder, EscapeBeforeAKeyMeansAlt) {
  expectTable({
      {"\x1b" "c", "00 2E +alt"},
      {"\x1b" "C", "00 2E +shift +alt"},
      {"\x1b" "e", "00 12 +alt"},
      {"\x1b" "q", "00 10 +alt"},
      {"\x1b" "m", "00 32 +alt"},
      {"\x1b" "/", "00 35 +alt"},
      {"\x1b" "?", "00 35 +shift +alt"},
      {"\x1b" "|", "00 2B +shift +alt"},
      {"\x1b" " ", "00 39 +alt"},
      {"\x1b\x18", "00 2D +ctrl +alt"},
      {"\x1b\x7f", "00 0E +alt"},
      {"\x1b\r", "00 1C +alt"},
      // A digit after Esc is taken as the keypad key (Alt + keypad character entry).
      {"\x1b" "0", "00 52 +alt"},
      {"\x1b" "1", "00 4F +alt"},
      {"\x1b" "5", "00 4C +alt"},
      {"\x1b" "9", "00 49 +alt"},
      // An Alt-modified sequence rxvt style, and Esc before a UTF-8 character.
      {"\x1b\x1b[A", "00 48 +alt"},
      {"\x1b\x1bOP", "00 3B +alt"},
      {"\x1b\xc3\xa9", "82 +alt"},
      // Esc and [ or O with nothing after them are Alt + that key.
      {"\x1b[", "00 1A +alt"},
      {"\x1bO", "00 18 +shift +alt"},
      // Two Escs are two Esc keys.
      {"\x1b\x1b", "1B | 1B"},
      {"\x1b\x1bx", "1B | 00 2D +alt"},
  });
}

TEST(InputDecoder, CharactersAndControlKeys) {
  expectTable({
      {"aZ~", "61 | 5A | 7E"},
      {"\x03\x16\x19", "03 +ctrl | 16 +ctrl | 19 +ctrl"},
      {"\r\t\x7f\x08", "0D | 09 | 08 | 08"},
      // UTF-8 becomes code page 858 bytes; characters it lacks are dropped, and so are the
      // glyphs of control bytes (typing them must not act as a control key).
      {"\xc3\xa9\xe2\x82\xac\xc2\xa7", "82 | D5 | F5"},
      {"\xe4\xb8\x80" "a\xe2\x96\xba" "b", "61 | 62"},
      // Broken UTF-8 is dropped without taking the next character with it.
      {"\xff" "a\xc3" "b\xe2\x82" "c", "61 | 62 | 63"},
  });
  EXPECT_EQ(decodeAll(std::string(1, '\0')), "20 +ctrl");  // Ctrl+Space
  EXPECT_EQ(decodeAll(std::string("\x1b\0", 2)), "20 +ctrl +alt");  // with Alt: never byte 0
}

TEST(InputDecoder, MouseReportsAndPaste) {
  expectTable({
      {"\x1b[<0;10;5M\x1b[<0;10;5m", "FF FF 00 01 @5,10 | FF FF 08 01 @5,10"},
      {"\x1b[<2;80;25m", "FF FF 08 02 @25,80"},
      {"\x1b[<16;3;4m", "FF FF 08 01 +ctrl @4,3"},
      {"\x1b[<12;3;4m", "FF FF 08 01 +shift +alt @4,3"},
      // Middle button, wheel and moves are dropped.
      {"\x1b[<1;3;4m\x1b[<64;3;4M\x1b[<35;3;4M" "a", "61"},
      {"\x1b[200~Hi\r\n\xc3\xb1\x1b\x03\t\xe4\xb8\x80\x1b[201~x",
       "48 | 69 | 0D | A4 | 09 | 78"},
      // A paste never closed ends with the bytes.
      {"\x1b[200~ab", "61 | 62"},
  });
}

TEST(InputDecoder, DropsUnknownAndCutSequencesWithoutLosingTheNextKey) {
  expectTable({
      {"\x1b[99~a", "61"},
      {"\x1b[?1;2c" "b", "62"},
      {"\x1b[5;10R" "c", "63"},  // a cursor position reply is no key
      {"\x1b[1;5\x1b[B", "00 50"},
      {"\x1b[1;5", ""},
      {"\x1b[2 q" "d", "64"},
  });
}

TEST(InputDecoder, ReadsSequenceParameters) {
  struct SequenceCase {
    const char* rest;  // after the introducer
    char introducer;
    bool complete;
    char marker;
    std::vector<int> params;
    char intermediate;
    char final;
  } cases[] = {
      {"A", '[', true, 0, {}, 0, 'A'},
      {"1;5A", '[', true, 0, {1, 5}, 0, 'A'},
      {";5H", '[', true, 0, {0, 5}, 0, 'H'},
      {"15;2~", '[', true, 0, {15, 2}, 0, '~'},
      {"<0;12;5M", '[', true, '<', {0, 12, 5}, 0, 'M'},
      {"?1;2c", '[', true, '?', {1, 2}, 0, 'c'},
      {"[A", '[', true, '[', {}, 0, 'A'},
      {"2 q", '[', true, 0, {2}, ' ', 'q'},
      {"1:2m", '[', true, 0, {1, 2}, 0, 'm'},
      {"5P", 'O', true, 0, {5}, 0, 'P'},
      {"1;", '[', false, 0, {}, 0, 0},
      {"1\x01", '[', false, 0, {}, 0, 0},
  };
  for (const SequenceCase& c : cases) {
    ByteReader reader;
    reader.feed(c.rest);
    ControlSequence s;
    bool complete = readControlSequence(reader, c.introducer, s, 0);
    ASSERT_EQ(complete, c.complete) << c.rest;
    if (!complete) continue;
    EXPECT_EQ(s.privateMarker, c.marker) << c.rest;
    EXPECT_EQ(s.params, c.params) << c.rest;
    EXPECT_EQ(s.intermediate, c.intermediate) << c.rest;
    EXPECT_EQ(s.final, c.final) << c.rest;
  }
}

TEST(InputDecoder, EscapeDelayComesFromTheEnvironment) {
  const char* saved = std::getenv("ESCDELAY");
  std::string keep = saved ? saved : "";
  struct {
    const char* value;
    int expected;
  } cases[] = {{nullptr, 10}, {"25", 25}, {"0", 0}, {"1000", 1000},
               {"1001", 10}, {"-5", 10}, {"abc", 10}, {"12ms", 10}, {"", 10}};
  for (const auto& c : cases) {
    if (c.value) {
      setenv("ESCDELAY", c.value, 1);
    } else {
      unsetenv("ESCDELAY");
    }
    EXPECT_EQ(escapeDelayMs(), c.expected) << (c.value ? c.value : "(unset)");
  }
  if (saved) {
    setenv("ESCDELAY", keep.c_str(), 1);
  } else {
    unsetenv("ESCDELAY");
  }
}

// The byte reader on a real descriptor: a lone Esc is a key once the delay has passed
// without more bytes, while Esc and a key sent together are Alt + that key.
TEST(InputDecoder, LoneEscapeOnADescriptorAfterTheDelay) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  ByteReader reader(fds[0]);
  InputDecoder decoder(reader, 30);
  InputEvent event;
  EXPECT_FALSE(decoder.next(event));

  ASSERT_EQ(write(fds[1], "\x1b", 1), 1);
  auto before = std::chrono::steady_clock::now();
  ASSERT_TRUE(decoder.next(event));
  EXPECT_EQ(describeKey(event.text, event.controlKeyState), "1B");
  EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(25));

  ASSERT_EQ(write(fds[1], "\x1bx\x1b[15~", 7), 7);
  ASSERT_TRUE(decoder.next(event));
  EXPECT_EQ(describeKey(event.text, event.controlKeyState), "00 2D +alt");
  ASSERT_TRUE(decoder.next(event));
  EXPECT_EQ(describeKey(event.text, event.controlKeyState), "00 3F");

  // Push-back puts bytes in front of what is still to come.
  ASSERT_EQ(write(fds[1], "bc", 2), 2);
  EXPECT_EQ(reader.next(0), 'b');
  reader.pushBack('z');
  reader.pushBack('y');
  EXPECT_EQ(reader.next(0), 'y');
  EXPECT_EQ(reader.next(0), 'z');
  EXPECT_EQ(reader.next(0), 'c');
  EXPECT_EQ(reader.next(0), -1);
  close(fds[0]);
  close(fds[1]);
}

#ifdef KIV_HAVE_VTERM
// libvterm is a second terminal whose key encoding nobody here wrote: whatever it sends
// for a key must decode to that key.
TEST(InputDecoder, KeysAsLibvtermSendsThem) {
  struct {
    int key;
    int modifiers;
    const char* expected;
  } cases[] = {
      {VTERM_KEY_FUNCTION(1), 0, "00 3B"},
      {VTERM_KEY_FUNCTION(4), VTERM_MOD_SHIFT, "00 3E +shift"},
      {VTERM_KEY_FUNCTION(10), VTERM_MOD_CTRL, "00 44 +ctrl"},
      {VTERM_KEY_FUNCTION(12), VTERM_MOD_ALT, "00 86 +alt"},
      {VTERM_KEY_UP, 0, "00 48"},
      {VTERM_KEY_LEFT, VTERM_MOD_CTRL, "00 4B +ctrl"},
      {VTERM_KEY_HOME, VTERM_MOD_CTRL, "00 47 +ctrl"},
      {VTERM_KEY_END, VTERM_MOD_ALT, "00 4F +alt"},
      {VTERM_KEY_INS, VTERM_MOD_ALT, "00 52 +alt"},
      {VTERM_KEY_PAGEDOWN, 0, "00 51"},
      {VTERM_KEY_DEL, 0, "00 53"},
      {VTERM_KEY_TAB, VTERM_MOD_SHIFT, "00 0F +shift"},
      {VTERM_KEY_ENTER, 0, "0D"},
      {VTERM_KEY_BACKSPACE, 0, "08"},
      {VTERM_KEY_ESCAPE, 0, "1B"},
  };
  for (const auto& c : cases) {
    VtermScreen terminal(25, 80);
    terminal.pressKey(c.key, c.modifiers);
    EXPECT_EQ(decodeAll(terminal.sent()), c.expected)
        << "key " << c.key << " mods " << c.modifiers << ": "
        << testing::PrintToString(terminal.sent());
  }
  struct {
    char32_t character;
    int modifiers;
    const char* expected;
  } characters[] = {
      {U'x', VTERM_MOD_ALT, "00 2D +alt"},
      {U'c', VTERM_MOD_CTRL, "03 +ctrl"},
      {U'\u00e7', 0, "87"},
      {U'\u20ac', 0, "D5"},
  };
  for (const auto& c : characters) {
    VtermScreen terminal(25, 80);
    terminal.typeText(std::u32string(1, c.character), c.modifiers);
    EXPECT_EQ(decodeAll(terminal.sent()), c.expected) << testing::PrintToString(terminal.sent());
  }
}
#endif
