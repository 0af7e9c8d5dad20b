// The SQLite back end: each record file is one SQLite database in WAL mode. Table `records`
// holds each record whole as a blob under its position (the rowid, a positive 32-bit number
// that never changes while the record lives); table `key_<n>` holds, for key n, the sort form
// of every record's key value with the record's position, in a primary key (value, position),
// so duplicates follow each other by position; `record_file` holds the layout and the record
// count and `key_stats` the number of distinct values of each key, both kept current by every
// write. Locks are open-file-description locks on the side file "<file>-lock" (record_locks.h).
//
// Reads share a read transaction per file; the last multi-row query stays open as a cursor so
// that a following step in the same direction costs one row step.
#pragma once

#include <sqlite3.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "recman/record_locks.h"
#include "recman/record_storage.h"

class SqliteRecordStore : public RecordStore {
 public:
  SqliteRecordStore() = default;
  ~SqliteRecordStore() override;

  static int16_t beginLoad(const std::string& path, const FileLayout& layout, bool replace,
                           std::unique_ptr<RecordLoader>& loader);

  int16_t open(const std::string& path, bool readOnly);
  void close();
  void abandon() override;

  int16_t lockFile(bool exclusive) override { return locks_.lockFile(exclusive); }
  int16_t lockRecord(uint32_t position, bool wait) override {
    return locks_.lockRecord(position, wait);
  }
  void unlockRecord(uint32_t position) override { locks_.unlockRecord(position); }
  bool recordLockedByOther(uint32_t position) override {
    return locks_.recordLockedByOther(position);
  }

  int16_t seek(int key, SeekMode mode, const std::string& bound, uint32_t boundPosition,
               FoundRecord& found) override;
  int16_t readAt(uint32_t position, int key, FoundRecord& found) override;
  int16_t counts(uint32_t& records, const std::vector<uint32_t>*& distinct) override;

  int16_t insert(const uint8_t* record, bool inTransaction, uint32_t& position) override;
  int16_t update(uint32_t position, const uint8_t* record, bool inTransaction) override;
  int16_t remove(uint32_t position, bool inTransaction) override;

  int16_t commitTransaction() override;
  void rollbackTransaction() override;
  bool inWriteTransaction() const override { return state_ == State::Writing; }

  void endSnapshot() override;

 private:
  enum class State { Idle, Snapshot, Writing };
  struct KeyStatements {
    sqlite3_stmt* seek[8] = {};
    sqlite3_stmt* insert = nullptr;
    sqlite3_stmt* remove = nullptr;
    sqlite3_stmt* probe = nullptr;
  };

  int16_t validate();
  int16_t prepareStatements();
  // The statements of the file as a whole (not the keys' ones, nor the cursor).
  std::array<sqlite3_stmt**, 15> fileStatements();
  void finalizeStatements();
  void forgetStatements();
  int16_t ensureRead();
  int16_t loadCounts();
  int16_t beginWrite(bool inTransaction);
  int16_t finishWrite(int16_t status);
  int16_t flushCounts();
  int16_t writeKeys(uint32_t position, const uint8_t* record, bool add);
  int16_t allocatePosition(uint32_t& position);
  bool keyExists(int key, const std::string& sortForm, int16_t& status);
  void resetCursor();
  int16_t stepRow(sqlite3_stmt* statement, int key, FoundRecord& found);
  int16_t exec(sqlite3_stmt* statement);

  sqlite3* db_ = nullptr;
  LockFile locks_;
  State state_ = State::Idle;
  bool userTransaction_ = false;

  std::vector<KeyStatements> keyStatements_;
  sqlite3_stmt* readAt_ = nullptr;
  sqlite3_stmt* insertRecord_ = nullptr;
  sqlite3_stmt* updateRecord_ = nullptr;
  sqlite3_stmt* deleteRecord_ = nullptr;
  sqlite3_stmt* readCount_ = nullptr;
  sqlite3_stmt* readDistinct_ = nullptr;
  sqlite3_stmt* writeCount_ = nullptr;
  sqlite3_stmt* writeDistinct_ = nullptr;
  sqlite3_stmt* begin_ = nullptr;
  sqlite3_stmt* beginImmediate_ = nullptr;
  sqlite3_stmt* commit_ = nullptr;
  sqlite3_stmt* rollback_ = nullptr;
  sqlite3_stmt* savepoint_ = nullptr;
  sqlite3_stmt* release_ = nullptr;
  sqlite3_stmt* rollbackTo_ = nullptr;

  // The open multi-row query and where it stands.
  sqlite3_stmt* cursor_ = nullptr;
  int cursorKey_ = -1;
  bool cursorAscending_ = true;
  uint32_t cursorPosition_ = 0;

  bool countsValid_ = false;
  bool countsDirty_ = false;
  uint32_t recordCount_ = 0;
  std::vector<uint32_t> distinct_;
  uint32_t savedRecordCount_ = 0;
  std::vector<uint32_t> savedDistinct_;

  std::string sortScratch_;
  std::string rowScratch_;
};
