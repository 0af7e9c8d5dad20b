// Keyed reads on real files: key order for each kind of segment, searches, stepping, direct
// access, positions and what a failed read leaves behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "record_file_fixture.h"

namespace {

class RecordReads : public RecordFileTest<Backend> {};

std::string le16(uint16_t value) {
  return {char(value & 0xff), char(value >> 8)};
}

TEST_P(RecordReads, CreateOpenInsertAndWalkBothWays) {
  std::string path = dir.file("plain.dat");
  ASSERT_EQ(createFile(path, creationData(20, {{{1, 4, 0}}})), 0);
  RecordFile file;
  ASSERT_EQ(file.open(path), 0);
  for (const char* code : {"CCCC", "AAAA", "DDDD", "BBBB"})
    ASSERT_EQ(file.insert(recordWith(20, {{0, code}, {10, "x"}})), 0);
  EXPECT_EQ(walk(file, 0, true, 0, 4), (std::vector<std::string>{"AAAA", "BBBB", "CCCC", "DDDD"}));
  EXPECT_EQ(walk(file, 0, false, 0, 4), (std::vector<std::string>{"DDDD", "CCCC", "BBBB", "AAAA"}));
  EXPECT_EQ(file.recordCount(), 4u);
  EXPECT_EQ(file.close(), 0);
  EXPECT_EQ(file.read(RecordOp::GetFirst, 0), RecordStatus::FileNotOpen);
}

// Each kind of segment sorts its values the way the table says; equal keys with duplicates
// follow each other in the order they were inserted (by position).
struct OrderCase {
  const char* name;
  std::vector<KeyDef> keys;
  std::vector<std::string> inserted;  // key field values (at offset 0), inserted in this order
  std::string expected;               // insertion indexes, in key order
  std::string collation;
};

class KeyOrder : public RecordFileTest<std::tuple<Backend, OrderCase>> {};

TEST_P(KeyOrder, WalksInKeyOrder) {
  const OrderCase& c = std::get<1>(GetParam());
  std::string path = dir.file("order.dat");
  ASSERT_EQ(createFile(path, creationData(12, c.keys, c.collation)), 0);
  RecordFile file;
  ASSERT_EQ(file.open(path), 0);
  for (size_t i = 0; i < c.inserted.size(); ++i)
    ASSERT_EQ(file.insert(recordWith(12, {{0, c.inserted[i]}, {8, std::to_string(i)}})), 0) << i;
  std::string forward, backward;
  for (const std::string& tag : walk(file, 0, true, 8, 1)) forward += tag;
  for (const std::string& tag : walk(file, 0, false, 8, 1)) backward += tag;
  EXPECT_EQ(forward, c.expected);
  EXPECT_EQ(backward, std::string(c.expected.rbegin(), c.expected.rend()));
}

INSTANTIATE_TEST_SUITE_P(
    Segments, KeyOrder,
    BOTH_BACKENDS_WITH(OrderCase{"String", {{{1, 3, 0}}}, {"b", "a", "B", "ab"}, "2130"},
                       OrderCase{"BinaryLittleEndian",
                                 {{{1, 2, SegmentFlag::Binary}}},
                                 {le16(256), le16(1), le16(255), le16(0x0102)},
                                 "1203"},
                       OrderCase{"Collated",
                                 {{{1, 3, SegmentFlag::Collated | SegmentFlag::Duplicates}}},
                                 {"b", "A", "C", "a", "B"},
                                 "13042",
                                 caseFoldingTable()},
                       OrderCase{"DuplicatesByPosition",
                                 {{{1, 1, SegmentFlag::Duplicates}}},
                                 {"m", "a", "m", "m", "a"},
                                 "14023"},
                       OrderCase{"TwoSegmentsStringThenBinary",
                                 {{{3, 1, 0}, {1, 2, SegmentFlag::Binary}}},
                                 {le16(2) + "a", le16(1) + "b", le16(1) + "a", le16(256) + "a"},
                                 "2031"}));

// Searches on a file with the string keys 10, 20, 20, 30 (duplicates allowed).
struct SearchCase {
  const char* name;
  int16_t operation;
  std::string key;
  int16_t status;
  std::string found;  // the key of the record read, then its insertion tag
};

class Searches : public RecordFileTest<std::tuple<Backend, SearchCase>> {};

TEST_P(Searches, FindTheRightRecordOrLeaveBuffersAlone) {
  const SearchCase& c = std::get<1>(GetParam());
  std::string path = dir.file("search.dat");
  ASSERT_EQ(createFile(path, creationData(4, {{{1, 2, SegmentFlag::Duplicates}}})), 0);
  RecordFile file;
  ASSERT_EQ(file.open(path), 0);
  const char* records[] = {"20a", "10b", "30c", "20d"};
  for (const char* record : records) ASSERT_EQ(file.insert(recordWith(4, {{0, record}})), 0);

  file.data = "untouched";
  file.dataLength = 77;
  int16_t status = file.read(c.operation, 0, c.key);
  EXPECT_EQ(status, c.status);
  if (status == RecordStatus::Success) {
    EXPECT_EQ(file.data.substr(0, 3), c.found);
    EXPECT_EQ(file.dataLength, 4);
    EXPECT_EQ(file.key.substr(0, 2), c.found.substr(0, 2));  // the key comes back
  } else {
    EXPECT_EQ(file.data, "untouched");
    EXPECT_EQ(file.dataLength, 77);
    EXPECT_EQ(file.key.substr(0, c.key.size()), c.key);  // key buffer as given
  }
}

INSTANTIATE_TEST_SUITE_P(
    Operations, Searches,
    BOTH_BACKENDS_WITH(
        SearchCase{"EqualFound", RecordOp::GetEqual, "20", 0, "20a"},
        SearchCase{"EqualBetween", RecordOp::GetEqual, "25", RecordStatus::KeyNotFound, ""},
        SearchCase{"EqualBeyond", RecordOp::GetEqual, "99", RecordStatus::KeyNotFound, ""},
        SearchCase{"GreaterFound", RecordOp::GetGreater, "20", 0, "30c"},
        SearchCase{"GreaterAtEnd", RecordOp::GetGreater, "30", RecordStatus::EndOfFile, ""},
        SearchCase{"GreaterOrEqualFirstDuplicate", RecordOp::GetGreaterOrEqual, "20", 0, "20a"},
        SearchCase{"GreaterOrEqualBetween", RecordOp::GetGreaterOrEqual, "11", 0, "20a"},
        SearchCase{"LessFound", RecordOp::GetLess, "20", 0, "10b"},
        SearchCase{"LessAtStart", RecordOp::GetLess, "10", RecordStatus::EndOfFile, ""},
        SearchCase{"LessOrEqualLastDuplicate", RecordOp::GetLessOrEqual, "20", 0, "20d"},
        SearchCase{"LessOrEqualBetween", RecordOp::GetLessOrEqual, "29", 0, "20d"},
        SearchCase{"LessOrEqualBelowAll", RecordOp::GetLessOrEqual, "0", RecordStatus::EndOfFile,
                   ""}));

TEST_P(RecordReads, StepsContinueFromEverySearchAndFromGetDirect) {
  std::string path = dir.file("steps.dat");
  ASSERT_EQ(createFile(path, creationData(6, {{{1, 2, 0}}, {{4, 2, SegmentFlag::Duplicates}}})), 0);
  RecordFile file;
  ASSERT_EQ(file.open(path), 0);
  // key 0 = first two bytes, key 1 = bytes 4-5
  for (const char* record : {"10 zz", "20 aa", "30 mm", "40 aa"})
    ASSERT_EQ(file.insert(recordWith(6, {{0, record}})), 0);

  ASSERT_EQ(file.read(RecordOp::GetEqual, 0, "30"), 0);
  uint32_t thirty = file.position();
  ASSERT_NE(thirty, 0u);
  EXPECT_EQ(file.read(RecordOp::GetNext, 0), 0);
  EXPECT_EQ(file.data.substr(0, 2), "40");
  EXPECT_EQ(file.read(RecordOp::GetPrevious, 0), 0);
  EXPECT_EQ(file.data.substr(0, 2), "30");
  EXPECT_EQ(file.read(RecordOp::GetPrevious, 0), 0);
  EXPECT_EQ(file.data.substr(0, 2), "20");

  // Get Direct makes key 1 current, placed on that record: aa(20) aa(40) mm(30) zz(10)
  ASSERT_EQ(file.getDirect(thirty, 1), 0);
  EXPECT_EQ(file.data.substr(0, 5), "30 mm");
  EXPECT_EQ(file.key.substr(0, 2), "mm");
  EXPECT_EQ(file.read(RecordOp::GetPrevious, 1), 0);
  EXPECT_EQ(file.data.substr(0, 5), "40 aa");
  EXPECT_EQ(file.read(RecordOp::GetPrevious, 1), 0);
  EXPECT_EQ(file.data.substr(0, 5), "20 aa");
  EXPECT_EQ(file.read(RecordOp::GetPrevious, 1), RecordStatus::EndOfFile);
  ASSERT_EQ(file.getDirect(thirty, 1), 0);
  EXPECT_EQ(file.read(RecordOp::GetNext, 1), 0);
  EXPECT_EQ(file.data.substr(0, 5), "10 zz");
  EXPECT_EQ(file.read(RecordOp::GetNext, 1), RecordStatus::EndOfFile);
  // stepping names the current key
  EXPECT_EQ(file.read(RecordOp::GetNext, 0), RecordStatus::InvalidKeyNumber);
}

TEST_P(RecordReads, PositioningStatuses) {
  std::string path = dir.file("pos.dat");
  ASSERT_EQ(createFile(path, creationData(4, {{{1, 2, 0}}})), 0);
  RecordFile file;
  ASSERT_EQ(file.open(path), 0);
  EXPECT_EQ(file.read(RecordOp::GetNext, 0), RecordStatus::InvalidPositioning);
  EXPECT_EQ(file.read(RecordOp::GetPrevious, 0), RecordStatus::InvalidPositioning);
  EXPECT_EQ(file.position(), 0u);
  EXPECT_EQ(file.read(RecordOp::GetFirst, 0), RecordStatus::EndOfFile);
  EXPECT_EQ(file.read(RecordOp::GetLast, 0), RecordStatus::EndOfFile);
  ASSERT_EQ(file.insert(recordWith(4, {{0, "aa"}})), 0);
  uint32_t position = file.position();
  EXPECT_GE(position, 1u);
  EXPECT_EQ(file.getDirect(position + 1, 0), RecordStatus::InvalidPositioning);
  EXPECT_EQ(file.getDirect(0, 0), RecordStatus::InvalidPositioning);
  EXPECT_EQ(file.read(RecordOp::GetFirst, 1), RecordStatus::InvalidKeyNumber);
  EXPECT_EQ(file.read(RecordOp::GetFirst, -1), RecordStatus::InvalidKeyNumber);
  EXPECT_EQ(file.getDirect(position, 1), RecordStatus::InvalidKeyNumber);
  EXPECT_EQ(file.read(RecordOp::GetFirst, 0), 0);
  EXPECT_EQ(file.read(RecordOp::GetNext, 0), RecordStatus::EndOfFile);
  EXPECT_EQ(file.position(), position);  // a failed step keeps the place
}

TEST_P(RecordReads, ShortDataBufferCutsTheRecordAndStillReads) {
  std::string path = dir.file("short.dat");
  ASSERT_EQ(createFile(path, creationData(10, {{{1, 2, 0}}})), 0);
  RecordFile file;
  ASSERT_EQ(file.open(path), 0);
  ASSERT_EQ(file.insert("aa34567890"), 0);
  ASSERT_EQ(file.insert("bb34567890"), 0);
  EXPECT_EQ(file.read(RecordOp::GetFirst, 0, "", 6), RecordStatus::DataBufferTooShort);
  EXPECT_EQ(file.data, "aa3456");
  EXPECT_EQ(file.key.substr(0, 2), "aa");
  EXPECT_EQ(file.read(RecordOp::GetNext, 0, "", 10), 0);  // the place was set
  EXPECT_EQ(file.data, "bb34567890");
  uint32_t position = file.position();
  EXPECT_EQ(file.getDirect(position, 0, 4), RecordStatus::DataBufferTooShort);
  EXPECT_EQ(file.data, "bb34");
}

INSTANTIATE_TEST_SUITE_P(Backends, RecordReads, BOTH_BACKENDS);

}  // namespace
