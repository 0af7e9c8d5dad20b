#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "platform/clock.h"
#include "record_test_support.h"
#include "records/record_file_table.h"
#include "records/record_operations.h"
#include "recman/record_manager.h"
#include "ui/window_stack.h"

namespace {

constexpr int16_t FileId = 507;
constexpr uint16_t RecordSize = 24;

// Upper-cases a to z, the rest as it is.
std::string upperCaseTable() {
  std::string table(256, '\0');
  for (int c = 0; c < 256; ++c) table[c] = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  return table;
}

// 24-byte records. Key 0: 4 bytes of packed digits at 0. Key 1: a 16-bit binary number at
// 4. Key 2: 3 collated bytes at 6. Key 3: key 1's and key 2's segments together. Key 4: a
// 32-bit binary number at 12.
FileLayout operationsLayout() {
  const uint16_t dup = SegmentFlag::Duplicates;
  return makeLayout(RecordSize,
                    {{{0, 4, 0}},
                     {{4, 2, uint16_t(SegmentFlag::Binary | dup)}},
                     {{6, 3, uint16_t(SegmentFlag::Collated | dup)}},
                     {{4, 2, uint16_t(SegmentFlag::Binary | dup)},
                      {6, 3, uint16_t(SegmentFlag::Collated | dup)}},
                     {{12, 4, uint16_t(SegmentFlag::Binary | dup)}}},
                    upperCaseTable());
}

std::string makeRecord(const std::string& key, uint16_t number, const std::string& name,
                       uint32_t big) {
  std::string record(RecordSize, '.');
  record.replace(0, 4, key);
  record[4] = static_cast<char>(number & 0xFF);
  record[5] = static_cast<char>(number >> 8);
  record.replace(6, 3, name);
  std::memcpy(record.data() + 12, &big, 4);
  record.replace(16, 8, "REC " + key.substr(1, 1) + key.substr(3, 1) + "  ");
  return record;
}

// Six records in key 0 order.
const std::string Records[] = {
    makeRecord("\x80\x81\x80\x81", 256, "abc", 70000),
    makeRecord("\x80\x81\x80\x82", 1, "ABD", 1),
    makeRecord("\x80\x81\x80\x83", 2, "abb", 65536),
    makeRecord("\x80\x82\x80\x81", 513, "Zed", 255),
    makeRecord("\x80\x82\x80\x82", 3, "zea", 16777216),
    makeRecord("\x80\x83\x80\x81", 0, "mmm", 0),
};

class RecordOperationsTest : public RecordFilesTest {
 protected:
  void SetUp() override {
    RecordFilesTest::SetUp();
    writeDescription("Flats", operationsLayout());
    variable.fill('#');
    ASSERT_EQ(open(FileId, "Flats", std::span<uint8_t>(variable.data(), RecordSize)), 0);
    for (const std::string& record : Records) insert(FileId, record);
  }
  RecordFileSlot& slot() { return recordFileTable.slots[findRecordFile(FileId)]; }
  // The bound variable (the first RecordSize bytes) and a guard behind it.
  std::string record() const {
    return std::string(reinterpret_cast<const char*>(variable.data()), RecordSize);
  }
  std::string guard() const {
    return std::string(reinterpret_cast<const char*>(variable.data()) + RecordSize,
                       variable.size() - RecordSize);
  }
  std::string path() const { return rootDir() + "DADES/Flats.dat"; }

  std::array<uint8_t, RecordSize + 8> variable{};
};

TEST_F(RecordOperationsTest, FindRecordPadsOrCutsTheKeyText) {
  const struct {
    std::string keyText;
    int16_t direction;
    int16_t status;
    std::string result;    // the record now in the variable ("" = left as it was)
    std::string keyValue;  // the file's key value afterwards
  } cases[] = {
      // Zero bytes appended: the search lands on the property's first apartment.
      {"\x80\x82", 1, 0, Records[3], "\x80\x82\x80\x81"},
      {std::string("\x80\x82", 2), 0, 4, "", std::string("\x80\x82\0\0", 4)},
      // Bytes beyond the key's length are not used.
      {"\x80\x81\x80\x82zzzz", 0, 0, Records[1], "\x80\x81\x80\x82"},
      {"\x80\x81\x80\x84zz", 0, 4, "", "\x80\x81\x80\x84"},
      {"\x80\x81\xFF", -1, 0, Records[2], "\x80\x81\x80\x83"},
      {"\x80\x84", 1, 9, "", std::string("\x80\x84\0\0", 4)},
      {"", 1, 0, Records[0], "\x80\x81\x80\x81"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.keyText);
    variable.fill('#');
    int16_t status = -1;
    findRecord(FileId, 0, c.keyText, c.direction, status);
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(record(), c.result.empty() ? std::string(RecordSize, '#') : c.result);
    EXPECT_EQ(slot().keyValue, c.keyValue);
    EXPECT_EQ(slot().keyNumber, 0);
  }
}

TEST_F(RecordOperationsTest, UnknownKeyOrFileChangesNothing) {
  int16_t status = -1;
  findRecord(FileId, 1, std::string("\x02\x00", 2), 0, status);
  ASSERT_EQ(status, 0);
  ASSERT_EQ(record(), Records[2]);
  std::string keyBefore = slot().keyValue;

  findRecord(FileId, 5, "\x80\x81", 1, status);
  EXPECT_EQ(status, RecordStatusNoSuchKey);
  EXPECT_EQ(slot().keyNumber, 1);
  EXPECT_EQ(slot().keyValue, keyBefore);
  EXPECT_EQ(record(), Records[2]);

  const struct {
    const char* what;
    std::function<void(int16_t&)> call;
  } notOpen[] = {
      {"findRecord", [](int16_t& s) { findRecord(999, 0, "", 1, s); }},
      {"stepRecord", [](int16_t& s) { stepRecord(999, 1, s); }},
      {"setLockMode", [](int16_t& s) { setLockMode(999, "a", s); }},
  };
  for (const auto& c : notOpen) {
    status = -1;
    c.call(status);
    EXPECT_EQ(status, RecordStatus::FileNotOpen) << c.what;
  }
  EXPECT_EQ(recordPosition(999, 0), 0);
  EXPECT_EQ(recordPosition(999, 1), 0);
}

TEST_F(RecordOperationsTest, StepRecordMovesCountRecordsAlongTheCurrentKey) {
  int16_t status = -1;
  findRecord(FileId, 0, "", 1, status);
  ASSERT_EQ(record(), Records[0]);
  const struct {
    int16_t count;
    int16_t status;
    std::string result;
  } steps[] = {
      {3, 0, Records[3]},   // only the third record arrives in the variable
      {-1, 0, Records[2]},  {0, 0, Records[2]},  {1, 0, Records[3]},
      {-3, 0, Records[0]},  {-1, 9, Records[0]},  // nothing before the first
      {5, 0, Records[5]},   {4, 9, Records[5]},   // the end met by a skipped record
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(s.count);
    stepRecord(FileId, s.count, status);
    EXPECT_EQ(status, s.status);
    EXPECT_EQ(record(), s.result);
    if (s.status == 0) {
      EXPECT_EQ(slot().keyValue, s.result.substr(0, 4));
    }
  }
  EXPECT_EQ(guard(), std::string(8, '#'));
}

TEST_F(RecordOperationsTest, StepRecordFollowsABinaryKey) {
  int16_t status = -1;
  findRecord(FileId, 1, std::string(2, '\0'), 1, status);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(record(), Records[5]);  // number 0
  stepRecord(FileId, 3, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(record(), Records[4]);  // 0, 1, 2, 3
  stepRecord(FileId, 2, status);
  EXPECT_EQ(record(), Records[3]);  // 256, 513
}

TEST_F(RecordOperationsTest, RecordLongerThanTheKnownLengthArrivesCut) {
  slot().recordLength = 10;  // the layer passes 10 bytes; the record manager answers 22
  int16_t status = -1;
  findRecord(FileId, 0, "\x80\x82\x80\x81", 0, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(record(), Records[3].substr(0, 10) + std::string(RecordSize - 10, '#'));
  stepRecord(FileId, 1, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(record().substr(0, 10), Records[4].substr(0, 10));
  variable.fill('#');
  stepRecord(FileId, -2, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(record(), Records[2].substr(0, 10) + std::string(RecordSize - 10, '#'));
}

TEST_F(RecordOperationsTest, NoCopyGoesBeyondTheRecordVariable) {
  // The file's records are 24 bytes; the variable bound to it only 16.
  int16_t status = -1;
  resetRecordFiles(status);
  std::array<uint8_t, 32> small;
  small.fill('#');
  ASSERT_EQ(open(FileId, "Flats", std::span<uint8_t>(small.data(), 16)), 0);
  auto seen = [&] { return std::string(reinterpret_cast<char*>(small.data()), small.size()); };

  findRecord(FileId, 0, "\x80\x81\x80\x82", 0, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(seen(), Records[1].substr(0, 16) + std::string(16, '#'));
  int32_t position = recordPosition(FileId, 0);
  stepRecord(FileId, 2, status);
  EXPECT_EQ(seen(), Records[3].substr(0, 16) + std::string(16, '#'));
  EXPECT_EQ(recordPosition(FileId, position), 0);
  EXPECT_EQ(seen(), Records[1].substr(0, 16) + std::string(16, '#'));
}

TEST_F(RecordOperationsTest, RecordPositionReadsAndReturnsToAPosition) {
  std::array<uint8_t, RecordSize> other{};
  ASSERT_EQ(open(FileId + 1, "Flats", other), 0);
  EXPECT_EQ(recordPosition(FileId + 1, 0), 0) << "no current record after the open";
  int16_t status = -1;
  findRecord(FileId, 0, "\x80\x81\x80\x83", 0, status);
  int32_t third = recordPosition(FileId, 0);
  EXPECT_GT(third, 0);
  stepRecord(FileId, 2, status);
  int32_t fifth = recordPosition(FileId, 0);
  EXPECT_GT(fifth, 0);
  EXPECT_NE(fifth, third);

  EXPECT_EQ(recordPosition(FileId, third), 0);
  EXPECT_EQ(record(), Records[2]);
  EXPECT_EQ(slot().keyValue, "\x80\x81\x80\x83");
  EXPECT_EQ(recordPosition(FileId, 0), third);
  stepRecord(FileId, 1, status);  // the key order goes on from there
  EXPECT_EQ(record(), Records[3]);

  variable.fill('#');
  EXPECT_NE(recordPosition(FileId, 0x7FFFFFF0), 0) << "no record at that position";
  EXPECT_EQ(record(), std::string(RecordSize, '#'));
}

TEST_F(RecordOperationsTest, LockModeStackSavesAndRestoresPerFile) {
  std::array<uint8_t, RecordSize> other{};
  ASSERT_EQ(open(FileId + 1, "Flats", other), 0);
  const int16_t a = FileId, b = FileId + 1;
  const struct {
    const char* name;
    std::vector<std::pair<int16_t, std::string>> calls;
    int16_t modeA, modeB;
  } cases[] = {
      {"push a then pop", {{a, "+a"}, {a, "-"}}, 0, 0},
      {"push d then pop restores b", {{a, "b"}, {a, "+d"}, {a, "-"}}, 2, 0},
      {"pop with nothing saved", {{a, "a"}, {a, "-"}}, 1, 0},
      {"unknown letters", {{a, "x"}, {b, "bX?"}}, 0, 2},
      {"nested", {{a, "B+a+d"}, {a, "-"}}, 1, 0},
      {"nested twice", {{a, "B+a+d"}, {a, "-"}, {a, "-"}}, 2, 0},
      {"each file its own pairs", {{a, "b+d"}, {b, "a+d"}, {a, "-"}}, 2, 0},
      {"the latest pair of the file", {{a, "+b+a"}, {b, "+"}, {a, "d-"}}, 2, 0},
      {"then the one before", {{a, "+b+a"}, {b, "+"}, {a, "d--"}}, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    lockModeStack.clear();
    recordFileTable.slots[findRecordFile(a)].lockMode = 0;
    recordFileTable.slots[findRecordFile(b)].lockMode = 0;
    for (const auto& [fileId, text] : c.calls) {
      int16_t status = 77;
      setLockMode(fileId, text, status);
      EXPECT_EQ(status, 77) << "an open file leaves the status alone";
    }
    EXPECT_EQ(recordFileTable.slots[findRecordFile(a)].lockMode, c.modeA);
    EXPECT_EQ(recordFileTable.slots[findRecordFile(b)].lockMode, c.modeB);
  }
  lockModeStack.clear();
  int16_t status = 0;
  setLockMode(b, "a+", status);
  EXPECT_EQ(lockModeStack, std::string("\x27\x01", 2)) << "slot 39, mode 1";
}

TEST_F(RecordOperationsTest, KeyCollationTextFollowsTheCurrentKeysSegments) {
  const struct {
    int16_t keyNumber;
    std::string text;
    std::string collated;
  } cases[] = {
      {0, "\x80" "ab", "\x80" "ab"},                            // plain segment
      {1, std::string("\x34\x12", 2), std::string("\x12\x34", 2)},  // binary: reversed
      {1, "\x01", std::string("\x00\x01", 2)},                  // padded, then reversed
      {2, "aBz", "ABZ"},                                        // through the table
      {2, "ab", "AB"},                                          // only what the text holds
      {3, std::string("\x01\x00" "xyz", 5), std::string("\x00\x01" "XYZ", 5)},
      {4, "\x01\x02\x03\x04", "\x04\x03\x02\x01"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.keyNumber);
    slot().keyNumber = c.keyNumber;
    EXPECT_EQ(keyCollationText(c.text, FileId), c.collated);
  }
  EXPECT_EQ(keyCollationText("\x01\x02", 999), "\x01\x02") << "not open";
  EXPECT_EQ(currentKeyCollationText(999), "");
}

TEST_F(RecordOperationsTest, CollationTextsCompareInTheFilesKeyOrder) {
  for (int16_t key = 0; key <= 4; ++key) {
    SCOPED_TRACE(key);
    int16_t status = -1;
    findRecord(FileId, key, "", 1, status);  // the first record of the key
    ASSERT_EQ(status, 0);
    std::string previous = currentKeyCollationText(FileId);
    int records = 1;
    for (stepRecord(FileId, 1, status); status == 0; stepRecord(FileId, 1, status)) {
      std::string current = currentKeyCollationText(FileId);
      EXPECT_LE(previous, current);
      previous = current;
      ++records;
    }
    EXPECT_EQ(status, RecordStatus::EndOfFile);
    EXPECT_EQ(records, 6);
  }
}

// Locks held by another process.

class RecordLockTest : public RecordOperationsTest {
 protected:
  // Holds the lock of the record with key 0 value `key` in a kivdata process.
  bool holdRecord(const std::string& key) {
    int16_t status = -1;
    findRecord(FileId, 0, key, 0, status);
    int32_t position = recordPosition(FileId, 0);
    variable.fill('#');
    return status == 0 && position > 0 &&
           holder.start({path(), "--record", std::to_string(position), "--seconds", "300"});
  }
  bool lockMessageShown() {
    for (int16_t row = 1; row <= 25; ++row)
      if (screen.rowText(row).find("FITXER BLOQUEJAT. ESPEREU UN MOMENT.") != std::string::npos)
        return true;
    return false;
  }
  LockHolder holder;
};

TEST_F(RecordLockTest, LockAndWaitShowsTheMessageFromTheSecondAttemptUntilTheRecordIsFree) {
  ASSERT_TRUE(holdRecord("\x80\x81\x80\x82")) << holder.line();
  const double randoms[] = {0.0, 0.25, 0.9999};
  struct Seen {
    bool message;
    int16_t depth, top;
  };
  std::vector<Seen> seen;
  setRandomSource([&] { return randoms[std::min<size_t>(seen.size(), 2)]; });
  setSleeper([&](int milliseconds) {
    sleeps.push_back(milliseconds);
    seen.push_back({lockMessageShown(), windowDepth, windowBox.windowTop});
    if (seen.size() == 3) holder.stop();
  });
  int16_t status = 0;
  setLockMode(FileId, "a", status);
  findRecord(FileId, 0, "\x80\x81\x80\x82", 0, status);

  EXPECT_EQ(status, 0);
  EXPECT_EQ(record(), Records[1]);
  EXPECT_EQ(sleeps, (std::vector<int>{1, 2501, 10000}));
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_FALSE(seen[0].message) << "no message before the first wait";
  for (size_t i = 1; i < 3; ++i) {
    EXPECT_TRUE(seen[i].message) << i;
    EXPECT_EQ(seen[i].depth, 1) << "shown once";
    EXPECT_EQ(seen[i].top, 21) << "a one-line window centred on row 24";
  }
  EXPECT_FALSE(lockMessageShown());
  EXPECT_EQ(windowDepth, 0);
}

TEST_F(RecordLockTest, OtherLockModesNeverWait) {
  ASSERT_TRUE(holdRecord("\x80\x82\x80\x81")) << holder.line();
  const struct {
    const char* mode;
    int16_t status;
  } cases[] = {
      {"b", RecordStatus::RecordLocked},  // lock without waiting: locked at once
      {"d", 0},                           // no lock asked: the record is read
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    variable.fill('#');
    int16_t status = 0;
    setLockMode(FileId, c.mode, status);
    findRecord(FileId, 0, "\x80\x82\x80\x81", 0, status);
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(record(), c.status == 0 ? Records[3] : std::string(RecordSize, '#'));
    EXPECT_TRUE(sleeps.empty());
    EXPECT_EQ(windowDepth, 0);
    EXPECT_FALSE(lockMessageShown());
  }
}

TEST_F(RecordLockTest, FileHeldExclusivelyIsOpenedOnceReleased) {
  int16_t status = -1;
  resetRecordFiles(status);
  ASSERT_EQ(status, 0);
  ASSERT_TRUE(holder.start({path(), "--seconds", "300"})) << holder.line();
  setSleeper([&](int milliseconds) {
    sleeps.push_back(milliseconds);
    if (sleeps.size() == 2) holder.stop();
  });
  EXPECT_EQ(open(FileId, "Flats", std::span<uint8_t>(variable.data(), RecordSize)), 0);
  EXPECT_EQ(sleeps, (std::vector<int>{3000, 3000}));
  EXPECT_EQ(windowDepth, 0) << "no message while waiting for the file";
  findRecord(FileId, 0, "", 1, status);
  EXPECT_EQ(record(), Records[0]);
}

}  // namespace
