// Storage of one open record file in SQLite.
//
// The file is an SQLite database in WAL mode: table `records` holds each record whole as a
// blob under its position (the rowid, a positive 32-bit number that never changes while the
// record lives); table `key_<n>` holds, for key n, the sort form of every record's key value
// with the record's position, in a primary key (value, position), so duplicates follow each
// other by position; `record_file` holds the layout and the record count and `key_stats` the
// number of distinct values of each key, both kept current by every write, so Stat never
// counts rows.
//
// Reads share a read transaction (one snapshot) per file until endAllReadSnapshots, a write of
// this process, or the snapshot's age (expireOldReadSnapshots). The last multi-row query stays
// open as a cursor so that a following step in the same direction costs one row step.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <vector>

#include "recman/file_layout.h"

enum class SeekMode { First, Last, GreaterOrEqual, Greater, LessOrEqual, Less, After, Before };

// A record found by a read; the pointers are valid until the next call on the store.
struct FoundRecord {
  uint32_t position = 0;
  const uint8_t* data = nullptr;
  const uint8_t* sortForm = nullptr;
  int sortLength = 0;
};

class RecordStore {
 public:
  RecordStore() = default;
  ~RecordStore();
  RecordStore(const RecordStore&) = delete;
  RecordStore& operator=(const RecordStore&) = delete;

  // Makes a new, empty record file; replace = false keeps an existing one (FileExists).
  static int16_t create(const std::string& path, const FileLayout& layout, bool replace);

  // Opens an existing record file; NotARecordFile when it is not one of ours or damaged.
  int16_t open(const std::string& path, bool readOnly);
  void close();
  // Drops the connection without touching it (inherited by a forked child).
  void abandon();

  const FileLayout& layout() const { return layout_; }
  bool readOnly() const { return readOnly_; }

  // Keyed reads. `bound` is a sort form (and `boundPosition` a position, for After and
  // Before). EndOfFile when nothing lies in that direction.
  int16_t seek(int key, SeekMode mode, const std::string& bound, uint32_t boundPosition,
               FoundRecord& found);
  // The record at a position, with its sort form in `key`; InvalidPositioning when none.
  int16_t readAt(uint32_t position, int key, FoundRecord& found);

  // Record count and distinct values per key, as of the current snapshot or write.
  int16_t counts(uint32_t& records, const std::vector<uint32_t>*& distinct);

  // Writes. Each runs in its own transaction, or inside the process's transaction when
  // `inTransaction` is set (then the file stays in a write transaction until commit/rollback).
  int16_t insert(const uint8_t* record, bool inTransaction, uint32_t& position);
  int16_t update(uint32_t position, const uint8_t* record, bool inTransaction);
  int16_t remove(uint32_t position, bool inTransaction);

  // Ends the process's transaction on this file (no-op when it has none).
  int16_t commitTransaction();
  void rollbackTransaction();
  bool inWriteTransaction() const { return state_ == State::Writing; }

  void endSnapshot();

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
  void finalizeStatements();
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
  FileLayout layout_;
  bool readOnly_ = false;
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

// Ends every read snapshot of the process.
void endAllReadSnapshots();
// Ends them when the oldest is older than the snapshot lifetime (100 ms).
void expireOldReadSnapshots();
