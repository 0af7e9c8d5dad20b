#include "platform/code_page.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

namespace {

// The glyphs a PC console shows for the control bytes 1 to 31.
constexpr char32_t kControlGlyphs[32] = {
    U' ',      U'\u263A', U'\u263B', U'\u2665', U'\u2666', U'\u2663', U'\u2660', U'\u2022',
    U'\u25D8', U'\u25CB', U'\u25D9', U'\u2642', U'\u2640', U'\u266A', U'\u266B', U'\u263C',
    U'\u25BA', U'\u25C4', U'\u2195', U'\u203C', U'\u00B6', U'\u00A7', U'\u25AC', U'\u21A8',
    U'\u2191', U'\u2193', U'\u2192', U'\u2190', U'\u221F', U'\u2194', U'\u25B2', U'\u25BC',
};
constexpr char32_t kDeleteGlyph = U'\u2302';

// Converts one byte of the code page with iconv; 0 when iconv cannot.
char32_t convertByte(iconv_t cd, uint8_t byte) {
  char in = static_cast<char>(byte);
  char32_t out = 0;
  char* inPtr = &in;
  size_t inLeft = 1;
  char* outPtr = reinterpret_cast<char*>(&out);
  size_t outLeft = sizeof out;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1)) return 0;
  return outLeft == 0 ? out : 0;
}

struct CodePageTables {
  std::array<char32_t, 256> toUnicode{};
  // (code point, byte), sorted by code point; the first byte found for a code point wins.
  std::vector<std::pair<char32_t, uint8_t>> toByte;

  CodePageTables() {
    // Code page 858 is code page 850 with the euro sign in place of the dotless i at 213.
    iconv_t cd = iconv_open("UTF-32LE", "CP858");
    bool euroByHand = false;
    if (cd == reinterpret_cast<iconv_t>(-1)) {
      cd = iconv_open("UTF-32LE", "CP850");
      euroByHand = true;
    }
    for (int b = 0; b < 256; ++b) {
      char32_t cp = cd == reinterpret_cast<iconv_t>(-1) ? 0 : convertByte(cd, uint8_t(b));
      toUnicode[b] = cp != 0 ? cp : (b < 128 ? char32_t(b) : U'?');
    }
    if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
    if (euroByHand) toUnicode[213] = U'\u20AC';

    // Printable bytes first, so a glyph that is also a real character of the code page
    // (the pilcrow and the section sign) reads back as that character's byte.
    for (int b = 32; b < 256; ++b) {
      if (b != 127) toByte.emplace_back(toUnicode[b], uint8_t(b));
    }
    for (int b = 0; b < 32; ++b) toByte.emplace_back(char32_t(b), uint8_t(b));
    toByte.emplace_back(char32_t(127), uint8_t(127));
    for (int b = 1; b < 32; ++b) toByte.emplace_back(kControlGlyphs[b], uint8_t(b));
    toByte.emplace_back(kDeleteGlyph, uint8_t(127));
    std::stable_sort(toByte.begin(), toByte.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });

    // What the screen shows: the glyphs for the control bytes, a blank for byte 0.
    for (int b = 1; b < 32; ++b) toUnicode[b] = kControlGlyphs[b];
    toUnicode[0] = U' ';
    toUnicode[127] = kDeleteGlyph;
  }
};

const CodePageTables& tables() {
  static const CodePageTables built;
  return built;
}

// Built before main, so the first screen update pays nothing for it.
[[maybe_unused]] const CodePageTables& builtAtStart = tables();

}  // namespace

char32_t unicodeForByte(uint8_t byte) { return tables().toUnicode[byte]; }

int byteForUnicode(char32_t codePoint) {
  const auto& list = tables().toByte;
  auto it = std::lower_bound(list.begin(), list.end(), codePoint,
                             [](const auto& entry, char32_t cp) { return entry.first < cp; });
  if (it == list.end() || it->first != codePoint) return -1;
  return it->second;
}
