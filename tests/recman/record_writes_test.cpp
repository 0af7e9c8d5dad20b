// Writes, Stat, transactions and the argument statuses, on real files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/files.h"
#include "record_file_fixture.h"

namespace {

class RecordWrites : public RecordFileTest<Backend> {
 protected:
  // Key 0: bytes 1-2 unique; key 1: bytes 4-5, duplicates allowed.
  void makeFile(RecordFile& file) {
    path = dir.file("w.dat");
    ASSERT_EQ(createFile(path, creationData(8, {{{1, 2, 0}}, {{4, 2, SegmentFlag::Duplicates}}})),
              0);
    ASSERT_EQ(file.open(path), 0);
  }
  std::string path;
};

uint32_t le32At(const std::string& bytes, size_t at) {
  const auto* b = reinterpret_cast<const uint8_t*>(bytes.data()) + at;
  return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

TEST_P(RecordWrites, InsertUpdateDeleteKeepKeysAndCounts) {
  RecordFile file;
  makeFile(file);
  ASSERT_EQ(file.insert("10 aa..."), 0);
  EXPECT_EQ(file.key.substr(0, 2), "10");
  ASSERT_EQ(file.insert("20 bb...", 1), 0);
  EXPECT_EQ(file.key.substr(0, 2), "bb");  // key of the key number given
  ASSERT_EQ(file.insert("30 aa..."), 0);
  EXPECT_EQ(file.insert("10 zz..."), RecordStatus::DuplicateKey);
  EXPECT_EQ(file.insert("40 zz"), RecordStatus::InvalidRecordLength);
  EXPECT_EQ(file.insert("40 zz...", 2), RecordStatus::InvalidKeyNumber);
  EXPECT_EQ(file.recordCount(), 3u);

  // Update moves the record in both keys; a clash on the unique key is refused whole.
  ASSERT_EQ(file.read(RecordOp::GetEqual, 0, "20"), 0);
  uint32_t twenty = file.position();
  EXPECT_EQ(file.update("30 cc..."), RecordStatus::DuplicateKey);
  ASSERT_EQ(file.update("25 aa..."), 0);
  EXPECT_EQ(file.position(), twenty);  // the position never changes
  EXPECT_EQ(walk(file, 0, true, 0, 2), (std::vector<std::string>{"10", "25", "30"}));
  EXPECT_EQ(walk(file, 1, true, 0, 6), (std::vector<std::string>{"10 aa.", "25 aa.", "30 aa."}));

  // Delete keeps the place: Next goes on to the record after the deleted one.
  ASSERT_EQ(file.read(RecordOp::GetEqual, 0, "25"), 0);
  ASSERT_EQ(file.remove(), 0);
  EXPECT_EQ(file.position(), 0u);
  EXPECT_EQ(file.remove(), RecordStatus::InvalidPositioning);
  EXPECT_EQ(file.update("11 aa..."), RecordStatus::InvalidPositioning);
  ASSERT_EQ(file.read(RecordOp::GetNext, 0), 0);
  EXPECT_EQ(file.data.substr(0, 2), "30");
  EXPECT_EQ(file.recordCount(), 2u);
  EXPECT_EQ(file.getDirect(twenty, 0), RecordStatus::InvalidPositioning);
}

TEST_P(RecordWrites, StatDescribesTheFileInTheCreationLayout) {
  path = dir.file("stat.dat");
  std::string creation = creationData(
      30,
      {{{1, 2, SegmentFlag::Binary}},
       {{5, 3, SegmentFlag::Duplicates}, {10, 4, SegmentFlag::Duplicates | SegmentFlag::Collated}}},
      caseFoldingTable(), 1024);
  ASSERT_EQ(createFile(path, creation), 0);
  RecordFile file;
  ASSERT_EQ(file.open(path), 0);
  std::string bytes;
  ASSERT_EQ(file.stat(bytes), 0);
  EXPECT_EQ(bytes, creation);  // nothing counted yet: the very bytes given at Create

  auto le16 = [](uint16_t v) { return std::string{char(v & 0xff), char(v >> 8)}; };
  const char* rows[] = {"aaaa", "bbbb", "cccc"};
  for (int i = 0; i < 3; ++i) {
    std::string record = recordWith(30, {{0, le16(uint16_t(i))}, {4, "KEY"}, {9, rows[i]}});
    if (i == 2) record.replace(9, 4, "AAAA");  // same as row 0 under the collating table
    ASSERT_EQ(file.insert(record), 0);
  }
  ASSERT_EQ(file.stat(bytes), 0);
  ASSERT_EQ(bytes.size(), 16u + 3 * 16 + 265);
  EXPECT_EQ(bytes[0], 30);
  EXPECT_EQ(le32At(bytes, 6), 3u);       // records
  EXPECT_EQ(le32At(bytes, 16 + 6), 3u);  // key 0: 3 distinct values
  EXPECT_EQ(le32At(bytes, 32 + 6), 2u);  // key 1 ("KEY"+aaaa / bbbb)
  EXPECT_EQ(le32At(bytes, 48 + 6), 2u);  // same number in its second segment
  EXPECT_EQ(bytes.substr(16 + 4, 2), le16(SegmentFlag::Binary));
  EXPECT_EQ(bytes.substr(32 + 4, 2), le16(SegmentFlag::Duplicates | SegmentFlag::Continues));
  EXPECT_EQ(bytes.substr(64), creation.substr(64));  // collating sequence as given

  ASSERT_EQ(file.read(RecordOp::GetFirst, 0), 0);
  ASSERT_EQ(file.remove(), 0);
  ASSERT_EQ(file.stat(bytes), 0);
  EXPECT_EQ(le32At(bytes, 6), 2u);
  EXPECT_EQ(le32At(bytes, 32 + 6), 2u);  // AAAA still holds the value
  ASSERT_EQ(file.read(RecordOp::GetFirst, 0), 0);
  ASSERT_EQ(file.remove(), 0);
  ASSERT_EQ(file.stat(bytes), 0);
  EXPECT_EQ(le32At(bytes, 32 + 6), 1u);

  std::string cut(20, '\0');
  int32_t length = 20;
  EXPECT_EQ(
      recordManagerCall(RecordOp::Stat, file.positionBlock, cut.data(), &length, nullptr, 0, 0),
      RecordStatus::DataBufferTooShort);
  EXPECT_EQ(length, 20);
  EXPECT_EQ(cut.substr(0, 16), bytes.substr(0, 16));
}

TEST_P(RecordWrites, TransactionCommitsAllOrNothing) {
  RecordFile file;
  makeFile(file);
  ASSERT_EQ(file.insert("00 xx..."), 0);
  ASSERT_EQ(transaction(RecordOp::BeginTransaction), 0);
  EXPECT_EQ(transaction(RecordOp::BeginTransaction), RecordStatus::InvalidOperation);
  ASSERT_EQ(file.insert("10 aa..."), 0);
  ASSERT_EQ(file.insert("20 aa..."), 0);
  EXPECT_EQ(file.insert("20 bb..."), RecordStatus::DuplicateKey);  // only this one undone
  EXPECT_EQ(file.recordCount(), 3u);                               // seen inside
  EXPECT_EQ(file.close(), RecordStatus::InvalidOperation);         // its writes are pending
  ASSERT_EQ(transaction(RecordOp::AbortTransaction), 0);
  EXPECT_EQ(file.recordCount(), 1u);
  EXPECT_EQ(walk(file, 0, true, 0, 2), (std::vector<std::string>{"00"}));

  ASSERT_EQ(transaction(RecordOp::BeginTransaction), 0);
  ASSERT_EQ(file.insert("10 aa..."), 0);
  ASSERT_EQ(file.insert("20 aa..."), 0);
  ASSERT_EQ(transaction(RecordOp::EndTransaction), 0);
  EXPECT_EQ(transaction(RecordOp::EndTransaction), RecordStatus::InvalidOperation);
  EXPECT_EQ(transaction(RecordOp::AbortTransaction), RecordStatus::InvalidOperation);
  ASSERT_EQ(file.close(), 0);
  RecordFile again;
  ASSERT_EQ(again.open(path), 0);
  EXPECT_EQ(again.recordCount(), 3u);
  EXPECT_EQ(walk(again, 1, true, 0, 2), (std::vector<std::string>{"10", "20", "00"}));

  // Reset ends an open transaction without its writes.
  ASSERT_EQ(transaction(RecordOp::BeginTransaction), 0);
  ASSERT_EQ(again.insert("30 aa..."), 0);
  ASSERT_EQ(resetRecordManager(), 0);
  ASSERT_EQ(again.open(path), 0);
  EXPECT_EQ(again.recordCount(), 3u);
}

TEST_P(RecordWrites, ArgumentStatuses) {
  RecordFile file;
  makeFile(file);
  std::string buffer(1536, ' ');
  std::string key(256, '\0');
  int32_t length = 1536;
  uint8_t junk[RecordManagerPositionBlockSize];
  std::memset(junk, 'x', sizeof junk);
  auto callWith = [&](int16_t op, uint8_t* block, int8_t keyNumber) {
    length = 1536;
    return recordManagerCall(op, block, buffer.data(), &length, key.data(), 255, keyNumber);
  };
  struct Case {
    int16_t operation;
    uint8_t* block;
    int8_t keyNumber;
    int16_t status;
  } cases[] = {
      {RecordOp::GetFirst, junk, 0, RecordStatus::FileNotOpen},
      {RecordOp::Stat, nullptr, 0, RecordStatus::FileNotOpen},
      {99, file.positionBlock, 0, RecordStatus::InvalidOperation},
      {16, file.positionBlock, 0, RecordStatus::InvalidOperation},
      {RecordOp::Insert + RecordOp::LockNoWait, file.positionBlock, 0,
       RecordStatus::InvalidOperation},
      {RecordOp::GetFirst + 300, file.positionBlock, 0, RecordStatus::InvalidOperation},
      {RecordOp::GetFirst, file.positionBlock, 5, RecordStatus::InvalidKeyNumber},
      {RecordOp::Unlock, file.positionBlock, 0, RecordStatus::Success},
  };
  for (const Case& c : cases)
    EXPECT_EQ(callWith(c.operation, c.block, c.keyNumber), c.status) << c.operation;

  RecordFile other;
  EXPECT_EQ(other.open(dir.file("missing.dat")), RecordStatus::FileNotFound);
  EXPECT_EQ(other.open(dir.file("nodir/missing.dat")), RecordStatus::FileNotFound);
  EXPECT_EQ(other.open(path, -1), RecordStatus::InvalidOperation);
  EXPECT_EQ(createFile(path, creationData(8, {{{1, 2, 0}}})), RecordStatus::FileExists);
  EXPECT_EQ(createFile(dir.file("nodir/x.dat"), creationData(8, {{{1, 2, 0}}})),
            RecordStatus::FileNotFound);
  EXPECT_EQ(createFile(dir.file("x.dat"), creationData(8, {{{1, 2, 0}}}), 3),
            RecordStatus::InvalidOperation);
}

TEST_P(RecordWrites, ReadOnlyOpenRefusesWrites) {
  RecordFile file;
  makeFile(file);
  ASSERT_EQ(file.insert("10 aa..."), 0);
  RecordFile reader;
  ASSERT_EQ(reader.open(path, RecordOpenMode::ReadOnly), 0);
  ASSERT_EQ(reader.read(RecordOp::GetFirst, 0), 0);
  EXPECT_EQ(reader.insert("20 aa..."), RecordStatus::AccessDenied);
  EXPECT_EQ(reader.update("10 bb..."), RecordStatus::AccessDenied);
  EXPECT_EQ(reader.remove(), RecordStatus::AccessDenied);
}

TEST_P(RecordWrites, CreateReplacesOnlyWhenAskedAndWhenNobodyHasTheFile) {
  RecordFile file;
  makeFile(file);
  ASSERT_EQ(file.insert("10 aa..."), 0);
  std::string other = creationData(8, {{{1, 3, 0}}});
  EXPECT_EQ(createFile(path, other, RecordCreateMode::Replace), RecordStatus::FileLocked);
  ASSERT_EQ(file.close(), 0);
  ASSERT_EQ(createFile(path, other, RecordCreateMode::Replace), 0);
  ASSERT_EQ(file.open(path), 0);
  EXPECT_EQ(file.recordCount(), 0u);
  std::string bytes;
  ASSERT_EQ(file.stat(bytes), 0);
  EXPECT_EQ(bytes, other);
}

// What the engine stored, read back with the back end's own shell.
TEST_P(RecordWrites, StoredDataAreReadableWithTheDatabaseShell) {
  RecordFile file;
  makeFile(file);
  ASSERT_EQ(file.insert("20 bb..."), 0);
  ASSERT_EQ(file.insert("10 aa..."), 0);
  ASSERT_EQ(file.close(), 0);
  if (dir.backend() == Backend::Files) {
    EXPECT_EQ(shell("sqlite3 '" + path + "' 'SELECT position, data FROM records ORDER BY 1'"),
              "1|20 bb...\n2|10 aa...\n");
    EXPECT_EQ(shell("sqlite3 '" + path + "' 'SELECT hex(value), position FROM key_0'"),
              "3130|2\n3230|1\n");
    EXPECT_EQ(shell("sqlite3 '" + path +
                    "' 'PRAGMA journal_mode; SELECT record_count FROM "
                    "record_file; PRAGMA integrity_check'"),
              "wal\n2\nok\n");
    return;
  }
  EXPECT_FALSE(fileExists(path));  // the installation keeps its files on the server
  EXPECT_EQ(dir.psql("SELECT position, convert_from(data, 'UTF8') FROM w ORDER BY 1"),
            "1|20 bb...\n2|10 aa...\n");
  EXPECT_EQ(dir.psql("SELECT encode(key_0, 'hex'), position FROM w ORDER BY key_0"),
            "3130|2\n3230|1\n");
  EXPECT_EQ(dir.psql("SELECT record_count, distinct_values FROM kiv_record_files"), "2|{2,2}\n");
}

INSTANTIATE_TEST_SUITE_P(Backends, RecordWrites, BOTH_BACKENDS);

}  // namespace
