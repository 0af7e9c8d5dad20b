#include "ui/browse_file.h"

#include <sys/types.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include "core/session_settings.h"
#include "platform/files.h"

namespace {

constexpr int32_t MaxPosition = std::numeric_limits<int32_t>::max();
constexpr int32_t MaxTextLength = std::numeric_limits<int16_t>::max();

int32_t readInt32(const uint8_t* bytes) {
  return static_cast<int32_t>(uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 |
                              uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24);
}

void writeInt32(uint8_t* bytes, int32_t value) {
  const auto bits = static_cast<uint32_t>(value);
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(bits >> (8 * i));
}

// Reads count bytes at the 1-based position; false unless all of them came.
bool readAt(BrowseFile& list, int32_t position, void* bytes, size_t count) {
  if (fseeko(list.file, off_t(position) - 1, SEEK_SET) != 0) return false;
  return std::fread(bytes, 1, count, list.file) == count;
}

}  // namespace

std::string browseFileName() {
  return sessionSettings.tempDir + "Browse.tmp";
}

bool openBrowseFile(BrowseFile& list, bool empty) {
  const std::string name = browseFileName();
  list.file = openFile(name, empty ? "w+b" : "r+b");
  // A list that only shows the file may still read one it cannot write.
  if (!list.file && !empty) list.file = openFile(name, fileExists(name) ? "rb" : "w+b");
  list.size = 0;
  if (!list.file) return false;
  if (fseeko(list.file, 0, SEEK_END) == 0) {
    const off_t end = ftello(list.file);
    list.size = static_cast<int32_t>(std::clamp<off_t>(end, 0, MaxPosition));
  }
  return true;
}

bool readBrowseLine(BrowseFile& list, int32_t position, BrowseLine& line, int32_t& next) {
  if (!list.file || position < 1) return false;
  // Room for the header inside the file (positions are 1-based, size bytes long).
  if (position > list.size - BrowseLineHeaderSize + 1) return false;
  uint8_t header[BrowseLineHeaderSize];
  if (!readAt(list, position, header, sizeof header)) return false;
  const int16_t length = static_cast<int16_t>(header[8] | header[9] << 8);
  const int32_t textStart = position + BrowseLineHeaderSize;
  if (length < 0 || length > list.size - textStart + 1) return false;
  std::string text(static_cast<size_t>(length), '\0');
  if (length > 0 && !readAt(list, textStart, text.data(), text.size())) return false;
  const int32_t previous = readInt32(header);
  line.previous = previous > 0 && previous < position ? previous : 0;
  line.recordPosition = readInt32(header + 4);
  line.text = std::move(text);
  next = textStart + length;
  return true;
}

int32_t appendBrowseLine(BrowseFile& list, const BrowseLine& line) {
  if (!list.file) return 0;
  const auto length =
      static_cast<int32_t>(std::min<size_t>(line.text.size(), size_t(MaxTextLength)));
  if (list.size > MaxPosition - BrowseLineHeaderSize - length) return 0;
  std::string bytes(static_cast<size_t>(BrowseLineHeaderSize + length), '\0');
  auto* header = reinterpret_cast<uint8_t*>(bytes.data());
  writeInt32(header, line.previous);
  writeInt32(header + 4, line.recordPosition);
  header[8] = static_cast<uint8_t>(length & 0xFF);
  header[9] = static_cast<uint8_t>(length >> 8);
  std::memcpy(bytes.data() + BrowseLineHeaderSize, line.text.data(), size_t(length));
  if (fseeko(list.file, off_t(list.size), SEEK_SET) != 0) return 0;
  if (std::fwrite(bytes.data(), 1, bytes.size(), list.file) != bytes.size()) {
    // Whatever part of the line got out lies past size and is overwritten by the next try.
    return 0;
  }
  std::fflush(list.file);
  const int32_t position = list.size + 1;
  list.size += static_cast<int32_t>(bytes.size());
  return position;
}

void closeBrowseFile(BrowseFile& list) {
  if (list.file) std::fclose(list.file);
  list.file = nullptr;
  list.size = 0;
  removeFile(browseFileName());
}
