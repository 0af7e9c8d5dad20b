#include <gtest/gtest.h>

#include <cstring>

#include "records/record_file_table.h"
#include "recman/record_manager.h"

namespace {

// Stat data: 16 bytes of file specification, 16 per key segment, then the collating
// sequence (signature, 8-byte name, 256-byte table).
std::string statData(uint16_t recordLength, std::vector<std::pair<uint16_t, uint16_t>> segments,
                     uint16_t keyCount, bool collation) {
  std::string data(16 + 16 * segments.size(), '\0');
  std::memcpy(data.data(), &recordLength, 2);
  std::memcpy(data.data() + 4, &keyCount, 2);
  for (size_t i = 0; i < segments.size(); ++i) {
    std::memcpy(data.data() + 16 + 16 * i + 2, &segments[i].first, 2);
    std::memcpy(data.data() + 16 + 16 * i + 4, &segments[i].second, 2);
  }
  if (collation) {
    data += '\xAC';
    data += "NAME    ";
    for (int c = 0; c < 256; ++c) data += static_cast<char>(255 - c);
  }
  return data;
}

TEST(StatData, KeysAreChainsOfSegments) {
  const uint16_t more = SegmentFlag::Continues;
  std::string data = statData(
      448, {{2, more}, {4, SegmentFlag::Binary}, {200, more}, {100, more}, {30, 0}, {1, 0}}, 3,
      true);
  RecordFileStat stat = parseStatData(reinterpret_cast<const uint8_t*>(data.data()),
                                      static_cast<int32_t>(data.size()));
  EXPECT_EQ(stat.recordLength, 448);
  EXPECT_EQ(stat.keyCount, 3);
  EXPECT_EQ(stat.keyLength(0), 6);
  EXPECT_EQ(stat.keyLength(1), 330) << "longer than a key buffer holds: refused at open";
  EXPECT_EQ(stat.keyLength(2), 1);
  EXPECT_EQ(stat.keyLength(3), 0);
  ASSERT_EQ(stat.collatingTable.size(), 256u);
  EXPECT_EQ(static_cast<uint8_t>(stat.collatingTable[0]), 255);
}

TEST(StatData, ShortDataIsNeverReadBeyond) {
  std::string data = statData(40, {{2, SegmentFlag::Continues}, {4, 0}}, 1, true);
  const struct {
    size_t length;
    size_t segments;
    bool table;
  } cases[] = {
      {data.size(), 2, true}, {data.size() - 1, 2, false}, {47, 1, false}, {16, 0, false},
      {15, 0, false},
  };
  for (const auto& c : cases) {
    // A copy of exactly the given length, so that a read past it is caught by the sanitizer.
    std::vector<uint8_t> bytes(data.begin(), data.begin() + static_cast<long>(c.length));
    RecordFileStat stat = parseStatData(bytes.data(), static_cast<int32_t>(bytes.size()));
    EXPECT_EQ(stat.segments.size(), c.segments) << c.length;
    EXPECT_EQ(stat.collatingTable.empty(), !c.table) << c.length;
  }
}

}  // namespace
