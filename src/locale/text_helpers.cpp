#include "locale/text_helpers.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

int16_t foldForMatching = 0;

namespace {

using FoldTable = std::array<unsigned char, 256>;

struct Mapping {
  unsigned char to;
  const char* from;  // the codes that map to `to`
};

FoldTable identityTable() {
  FoldTable table{};
  for (int c = 0; c < 256; ++c) table[c] = static_cast<unsigned char>(c);
  return table;
}

// Accent-free capitals for matching a typed letter with the first letter of a choice; every
// other code from 64 to 237 (symbols, currency signs, box drawing) matches as a blank.
FoldTable buildMatchingTable() {
  static const Mapping letters[] = {
      {'C', "\x80\x87"},
      {'U', "\x81\x96\x97\x9A\xA3\xE9\xEA\xEB"},
      {'E', "\x82\x88\x89\x8A\x90\xD2\xD3\xD4\xD5"},  // 0xD5 is the euro sign on the console
      {'A', "\x83\x84\x85\x86\x8E\x8F\x91\x92\xA0\xA6\xB5\xB6\xB7\xC6\xC7"},
      {'I', "\x8B\x8C\x8D\xA1\xD6\xD7\xD8\xDE"},
      {'O', "\x93\x94\x95\x99\x9B\x9D\xA2\xA7\xE0\xE2\xE3\xE4\xE5"},
      {'Y', "\x98\xEC\xED"},
      {'N', "\xA4\xA5"},
      {'D', "\xD0\xD1"},
      {'S', "\xE1"},
      {'T', "\xE7\xE8"},
  };
  FoldTable table = identityTable();
  for (int c = 64; c < 238; ++c) table[c] = ' ';
  for (int c = 'A'; c <= 'Z'; ++c) table[c] = static_cast<unsigned char>(c);
  for (int c = 'a'; c <= 'z'; ++c) table[c] = static_cast<unsigned char>(c - 'a' + 'A');
  for (const Mapping& m : letters) {
    for (const char* p = m.from; *p; ++p) table[static_cast<unsigned char>(*p)] = m.to;
  }
  return table;
}

// Capitals of the code page: ASCII and the accented small letters that have a capital in it
// (y with diaeresis, o with stroke, sharp s and thorn keep their small form).
FoldTable buildUpperTable() {
  static const unsigned char pairs[][2] = {
      {129, 154}, {130, 144}, {131, 182}, {132, 142}, {133, 183}, {134, 143}, {135, 128},
      {136, 210}, {137, 211}, {138, 212}, {139, 216}, {140, 215}, {141, 222}, {145, 146},
      {147, 226}, {148, 153}, {149, 227}, {150, 234}, {151, 235}, {160, 181}, {161, 214},
      {162, 224}, {163, 233}, {164, 165}, {198, 199}, {208, 209}, {228, 229}, {236, 237},
  };
  FoldTable table = identityTable();
  for (int c = 'a'; c <= 'z'; ++c) table[c] = static_cast<unsigned char>(c - 'a' + 'A');
  for (const auto& pair : pairs) table[pair[0]] = pair[1];
  return table;
}

const FoldTable& matchingTable() {
  static const FoldTable table = buildMatchingTable();
  return table;
}

const FoldTable& upperTable() {
  static const FoldTable table = buildUpperTable();
  return table;
}

}  // namespace

std::string foldText(const std::string& text) {
  const FoldTable& table = foldForMatching != 0 ? matchingTable() : upperTable();
  std::string folded = text;
  for (char& c : folded) c = static_cast<char>(table[static_cast<unsigned char>(c)]);
  return folded;
}

int16_t isRepeatedChar(const std::string& text, int16_t code) {
  bool repeated = std::all_of(text.begin(), text.end(),
                              [code](char c) { return static_cast<unsigned char>(c) == code; });
  return repeated ? -1 : 0;
}

int16_t centerOffset(const std::string& text, int16_t width) {
  int64_t offset = (int64_t{width} - static_cast<int64_t>(text.size())) / 2;
  offset = std::max<int64_t>(offset, std::numeric_limits<int16_t>::min());
  return static_cast<int16_t>(offset);
}

std::string bytesAt(const void* address, int16_t n) {
  if (n < 1 || address == nullptr) return std::string();
  return std::string(static_cast<const char*>(address), static_cast<size_t>(n));
}
