#include "code_page_text.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>

namespace {

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

// Runs one whole conversion through `cd` (opened once, kept for the process). `failedAt`
// receives the offset of the input byte where it stopped, or npos when everything was
// converted.
std::string convert(iconv_t cd, const std::string& input, size_t& failedAt) {
  failedAt = std::string::npos;
  if (cd == kNoConverter) {
    failedAt = 0;
    return "";
  }
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  std::string output(input.size() * 4 + 4, '\0');
  char* in = const_cast<char*>(input.data());
  size_t inLeft = input.size();
  char* out = output.data();
  size_t outLeft = output.size();
  if (iconv(cd, &in, &inLeft, &out, &outLeft) == static_cast<size_t>(-1))
    failedAt = static_cast<size_t>(in - input.data());
  output.resize(output.size() - outLeft);
  return output;
}

// Length of the valid UTF-8 sequence at `at` and its code point; 0 when it is not valid.
size_t decodeUtf8(const std::string& text, size_t at, char32_t& codePoint) {
  auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
  uint8_t lead = byte(at);
  size_t length = lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3
                : (lead & 0xF8) == 0xF0 ? 4 : 0;
  if (length == 0 || at + length > text.size()) return 0;
  codePoint = length == 1 ? lead : lead & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
    codePoint = (codePoint << 6) | (byte(at + i) & 0x3F);
  }
  static constexpr char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (codePoint < smallest[length] || codePoint > 0x10FFFF ||
      (codePoint >= 0xD800 && codePoint <= 0xDFFF))
    return 0;
  return length;
}

// 1-based number of the character that starts at byte `at`.
size_t characterNumber(const std::string& text, size_t at) {
  size_t count = 1;
  for (size_t i = 0; i < at; ++i)
    if ((static_cast<uint8_t>(text[i]) & 0xC0) != 0x80) ++count;
  return count;
}

}  // namespace

bool utf8ToCodePage850(const std::string& utf8, std::string& bytes, std::string& problem) {
  size_t failedAt;
  static const iconv_t toCodePage = iconv_open("CP850", "UTF-8");
  if (toCodePage == kNoConverter) {
    problem = "this system has no conversion from UTF-8 to code page 850 (iconv)";
    return false;
  }
  bytes = convert(toCodePage, utf8, failedAt);
  if (failedAt == std::string::npos) return true;
  char32_t codePoint = 0;
  size_t length = decodeUtf8(utf8, failedAt, codePoint);
  std::string place = "character " + std::to_string(characterNumber(utf8, failedAt));
  if (length == 0) {
    problem = "not valid UTF-8 at " + place;
    return false;
  }
  char code[16];
  std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(codePoint));
  problem = place + " \"" + utf8.substr(failedAt, length) + "\" (" + code +
            ") has no code in code page 850";
  return false;
}

std::string codePage850ToUtf8(const std::string& bytes) {
  static const iconv_t fromCodePage = iconv_open("UTF-8", "CP850");
  size_t failedAt;
  return convert(fromCodePage, bytes, failedAt);
}
