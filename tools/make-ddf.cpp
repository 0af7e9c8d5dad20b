// Writes the description files (.xdf) of the demo record files from the definitions below.
//
// A description file is a 2-byte little-endian length N followed by N bytes of creation data
// (see docs/record-files.md). Build and run from the top of the tree:
//   g++ -std=c++20 -Isrc tools/make-ddf.cpp src/recman/file_layout.cpp -o make-ddf
//   ./make-ddf dist/ddf
#include <array>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "recman/file_layout.h"
#include "recman/record_manager.h"

namespace {

struct SegmentLine {
  const char* field;
  uint16_t offset;  // 0-based, as in the record layouts
  uint16_t length;
  uint16_t flags;   // Duplicates, Binary, Collated (Continues is added for multi-segment keys)
};

struct FileLine {
  const char* name;
  uint16_t recordLength;
  std::vector<std::vector<SegmentLine>> keys;
};

const std::vector<FileLine> Files = {
    {"FinquesV", 204,
     {
         {{"propertyCode", 0, 2, 0}},
         {{"propertyAddress", 8, 30, SegmentFlag::Duplicates | SegmentFlag::Collated}},
     }},
    {"DepartaV", 448, {{{"apartmentKey", 0, 4, 0}}}},
    {"TVRebut", 32, {{{"conceptCode", 0, 1, 0}}}},
};

// Code page 850 letters that sort with a plain capital: small letters and accented forms.
const std::vector<std::pair<const char*, char>> PlainCapitals = {
    {"\x80\x87", 'C'},                                          // Cc cedilla
    {"\x83\x84\x85\x86\x8E\x8F\xA0\xB5\xB6\xB7\xC6\xC7", 'A'},  // a/A with accents
    {"\x82\x88\x89\x8A\x90\xD2\xD3\xD4", 'E'},
    {"\x8B\x8C\x8D\xA1\xD6\xD7\xD8\xDE", 'I'},  // 0xD5 is the euro sign
    {"\x93\x94\x95\x99\xA2\xE0\xE2\xE3\xE4\xE5", 'O'},
    {"\x81\x96\x97\x9A\xA3\xE9\xEA\xEB", 'U'},
    {"\x98\xEC\xED", 'Y'},
    {"\xA4\xA5", 'N'},
    {"\xD0\xD1", 'D'},
};

std::array<uint8_t, 256> plainCapitalTable() {
  std::array<uint8_t, 256> table{};
  for (int c = 0; c < 256; ++c) table[size_t(c)] = uint8_t(c);
  for (int c = 'a'; c <= 'z'; ++c) table[size_t(c)] = uint8_t(c - 'a' + 'A');
  table[0x91] = 0x92;  // ae ligature with its capital
  table[0x9B] = 0x9D;  // o with stroke with its capital
  table[0xE7] = 0xE8;  // thorn with its capital
  for (const auto& [letters, capital] : PlainCapitals)
    for (const char* c = letters; *c; ++c) table[uint8_t(*c)] = uint8_t(capital);
  return table;
}

FileLayout layoutOf(const FileLine& file) {
  FileLayout layout;
  layout.recordLength = file.recordLength;
  layout.pageSize = DefaultPageSize;
  for (const auto& segments : file.keys) {
    KeyDefinition key;
    for (size_t s = 0; s < segments.size(); ++s) {
      uint16_t flags = segments[s].flags;
      if (s + 1 < segments.size()) flags |= SegmentFlag::Continues;
      key.segments.push_back({segments[s].offset, segments[s].length, flags});
      if (flags & SegmentFlag::Collated) layout.hasCollation = true;
    }
    layout.keys.push_back(key);
  }
  if (layout.hasCollation) {
    const char name[9] = "PLAIN850";
    for (int i = 0; i < 8; ++i) layout.collationName[size_t(i)] = uint8_t(name[i]);
    layout.collationTable = plainCapitalTable();
  }
  return layout;
}

}  // namespace

int main(int argc, char** argv) {
  std::string dir = argc > 1 ? argv[1] : "dist/ddf";
  for (const FileLine& file : Files) {
    std::string creation = encodeFileLayout(layoutOf(file));
    std::string bytes{char(creation.size() & 0xff), char(creation.size() >> 8)};
    bytes += creation;
    std::string path = dir + "/" + file.name + ".xdf";
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out || std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size() ||
        std::fclose(out) != 0) {
      std::fprintf(stderr, "make-ddf: cannot write %s\n", path.c_str());
      return 1;
    }
    std::printf("%s: %zu bytes of creation data\n", path.c_str(), creation.size());
  }
  return 0;
}
