#include "recman/file_layout.h"

#include <cstring>

#include "recman/record_manager.h"

uint16_t readLe16(const uint8_t* bytes) {
  return uint16_t(bytes[0] | bytes[1] << 8);
}

uint32_t readLe32(const uint8_t* bytes) {
  return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
         uint32_t(bytes[3]) << 24;
}

void writeLe16(uint8_t* bytes, uint16_t value) {
  bytes[0] = uint8_t(value);
  bytes[1] = uint8_t(value >> 8);
}

void writeLe32(uint8_t* bytes, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[i] = uint8_t(value >> (8 * i));
}

namespace {

constexpr uint16_t KnownFlags =
    SegmentFlag::Duplicates | SegmentFlag::Binary | SegmentFlag::Continues | SegmentFlag::Collated;

bool validPageSize(uint16_t size) {
  return size >= 512 && size <= 32768 && (size & (size - 1)) == 0;
}

// Reads the segments of one key starting at `offset`; advances it.
bool parseKey(const uint8_t* data, size_t length, size_t& offset, uint16_t recordLength,
              KeyDefinition& key) {
  uint16_t flags;
  do {
    if (offset + SegmentSpecSize > length) return false;
    const uint8_t* segmentBytes = data + offset;
    offset += SegmentSpecSize;
    uint16_t position = readLe16(segmentBytes);
    uint16_t size = readLe16(segmentBytes + 2);
    flags = readLe16(segmentBytes + 4);
    if ((flags & ~KnownFlags) != 0) return false;
    if ((flags & SegmentFlag::Binary) && (flags & SegmentFlag::Collated)) return false;
    if (position < 1 || size < 1 || position - 1 + size > recordLength) return false;
    bool duplicates = (flags & SegmentFlag::Duplicates) != 0;
    if (!key.segments.empty() && duplicates != key.duplicates) return false;
    key.duplicates = duplicates;
    key.collated = key.collated || (flags & SegmentFlag::Collated);
    key.segments.push_back({uint16_t(position - 1), size, flags});
    key.length = uint16_t(key.length + size);
    if (key.length > RecordMaxKeyLength) return false;
  } while (flags & SegmentFlag::Continues);
  return true;
}

}  // namespace

int16_t parseFileLayout(const uint8_t* data, size_t length, FileLayout& layout) {
  layout = FileLayout();
  if (length < FileSpecSize) return RecordStatus::InvalidOperation;
  layout.recordLength = readLe16(data);
  if (layout.recordLength < 1 || layout.recordLength > RecordMaxLength)
    return RecordStatus::InvalidRecordLength;
  layout.pageSize = readLe16(data + 2);
  if (layout.pageSize == 0) layout.pageSize = DefaultPageSize;
  if (!validPageSize(layout.pageSize)) return RecordStatus::InvalidOperation;
  uint16_t keyCount = readLe16(data + 4);
  if (keyCount < 1 || keyCount > MaxKeys) return RecordStatus::InvalidOperation;

  size_t offset = FileSpecSize;
  layout.keys.resize(keyCount);
  for (KeyDefinition& key : layout.keys) {
    if (!parseKey(data, length, offset, layout.recordLength, key))
      return RecordStatus::InvalidOperation;
    layout.hasCollation = layout.hasCollation || key.collated;
  }
  if (layout.hasCollation) {
    if (offset + CollationSize > length || data[offset] != CollationSignature)
      return RecordStatus::InvalidOperation;
    std::memcpy(layout.collationName.data(), data + offset + 1, 8);
    std::memcpy(layout.collationTable.data(), data + offset + 9, 256);
  }
  return RecordStatus::Success;
}

std::string encodeFileLayout(const FileLayout& layout, uint32_t recordCount,
                             const std::vector<uint32_t>* distinctValues) {
  size_t segments = 0;
  for (const KeyDefinition& key : layout.keys) segments += key.segments.size();
  std::string out(
      FileSpecSize + segments * SegmentSpecSize + (layout.hasCollation ? CollationSize : 0), '\0');
  uint8_t* bytes = reinterpret_cast<uint8_t*>(out.data());
  writeLe16(bytes, layout.recordLength);
  writeLe16(bytes + 2, layout.pageSize);
  writeLe16(bytes + 4, uint16_t(layout.keys.size()));
  writeLe32(bytes + 6, recordCount);
  uint8_t* segmentBytes = bytes + FileSpecSize;
  for (size_t k = 0; k < layout.keys.size(); ++k) {
    for (const KeySegment& segment : layout.keys[k].segments) {
      writeLe16(segmentBytes, uint16_t(segment.offset + 1));
      writeLe16(segmentBytes + 2, segment.length);
      writeLe16(segmentBytes + 4, segment.flags);
      if (distinctValues) writeLe32(segmentBytes + 6, (*distinctValues)[k]);
      segmentBytes += SegmentSpecSize;
    }
  }
  if (layout.hasCollation) {
    segmentBytes[0] = CollationSignature;
    std::memcpy(segmentBytes + 1, layout.collationName.data(), 8);
    std::memcpy(segmentBytes + 9, layout.collationTable.data(), 256);
  }
  return out;
}
