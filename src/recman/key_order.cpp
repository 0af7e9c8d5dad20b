#include "recman/key_order.h"

#include <algorithm>
#include <cstring>

#include "recman/record_manager.h"

void extractKeyValue(const KeyDefinition& key, const uint8_t* record, uint8_t* out) {
  for (const KeySegment& segment : key.segments) {
    std::memcpy(out, record + segment.offset, segment.length);
    out += segment.length;
  }
}

void sortFormOfKeyValue(const FileLayout& layout, const KeyDefinition& key, const uint8_t* keyValue,
                        std::string& out) {
  out.assign(reinterpret_cast<const char*>(keyValue), key.length);
  char* segmentStart = out.data();
  for (const KeySegment& segment : key.segments) {
    char* segmentEnd = segmentStart + segment.length;
    if (segment.flags & SegmentFlag::Binary) {
      std::reverse(segmentStart, segmentEnd);
    } else if (segment.flags & SegmentFlag::Collated) {
      for (char* c = segmentStart; c != segmentEnd; ++c)
        *c = char(layout.collationTable[uint8_t(*c)]);
    }
    segmentStart = segmentEnd;
  }
}

void sortFormOfRecord(const FileLayout& layout, const KeyDefinition& key, const uint8_t* record,
                      std::string& out) {
  uint8_t value[RecordMaxKeyLength];
  extractKeyValue(key, record, value);
  sortFormOfKeyValue(layout, key, value, out);
}
