// The list file of the browse list, Browse.tmp in the session's work directory: every line
// the list has produced, in the order of the record file's key, so that the list scrolls
// back and forth without reading the record file again.
//
// A binary file of consecutive lines. File positions are counted from 1 (the first byte is
// position 1). Each line is a 10-byte header and its text:
//   0  4  previous: int32 little-endian, position of the previous line's header; 0 = first
//   4  4  record position: int32 little-endian, physical position of the line's record in
//         the record file; 0 = no record
//   8  2  length: int16 little-endian, bytes of text that follow
//  10     text, trailing blanks removed
//
// A list without a record file shows whatever the file holds, so a file may come from
// anywhere: every read checks the line against the file's size and hands back only whole
// lines, and a backward chain that does not point backwards ends where it breaks.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

constexpr int32_t BrowseLineHeaderSize = 10;

struct BrowseLine {
  int32_t previous = 0;        // position of the previous line's header; 0 = first line
  int32_t recordPosition = 0;  // 0 = no record
  std::string text;
};

// The open list file.
struct BrowseFile {
  FILE* file = nullptr;
  int32_t size = 0;  // bytes in the file (a larger foreign file counts as its first 2 GB)
};

// sessionSettings.tempDir + "Browse.tmp".
std::string browseFileName();

// Opens the list file for reading and writing: emptied when `empty`, else with what it
// holds (created empty when missing). false when it cannot be opened.
bool openBrowseFile(BrowseFile& list, bool empty);

// The line whose header is at `position`, and the position right after it. false, with
// line and next unchanged, when no whole line starts there: the position lies outside the
// file, the length is negative, or the text runs past the end. A previous position that is
// not before the line itself is read as 0, so that walking back always ends.
bool readBrowseLine(BrowseFile& list, int32_t position, BrowseLine& line, int32_t& next);

// Writes the line at the end of the file (its text cut to 32767 bytes); the position of
// its header, or 0 when it could not be written.
int32_t appendBrowseLine(BrowseFile& list, const BrowseLine& line);

// Closes the file and deletes it.
void closeBrowseFile(BrowseFile& list);
