// Storage of one open record file: the interface the entry point works through, with two
// back ends (sqlite_record_store.h: one SQLite database per file; postgres_record_store.h:
// one table of a PostgreSQL database per file). Which one holds the files of a path is the
// installation's choice (record_file_server.h).
//
// Every back end keeps, per key, the sort form of each record's key value next to the
// record's position, so that plain byte comparison of (sort form, position) is key order;
// counts that every write keeps current, so Stat never counts; the process's locks on the
// file (shared or exclusive open, one lock per record position) that vanish with the
// process; and a read snapshot shared by the reads until endAllReadSnapshots, a write of
// this process, or the snapshot's age (expireOldReadSnapshots).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "recman/file_layout.h"

// Positions of records run from 1 to this on every back end.
constexpr int64_t MaxRecordPosition = 2147483647;
inline bool validRecordPosition(int64_t position) {
  return position >= 1 && position <= MaxRecordPosition;
}

// Stored with every record file's creation data and checked at each open, whatever holds it.
constexpr const char* RecordFileMagic = "kiv record file";
constexpr int RecordFileFormat = 1;

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
  virtual ~RecordStore();
  RecordStore(const RecordStore&) = delete;
  RecordStore& operator=(const RecordStore&) = delete;

  const FileLayout& layout() const { return layout_; }
  bool readOnly() const { return readOnly_; }

  // Drops the file without touching its connection or locks (inherited by a forked child:
  // they belong to the parent).
  virtual void abandon() = 0;

  // Locks between processes. The file's lock is taken shared by every normal and read-only
  // open and exclusively by an exclusive open (FileLocked when another holds it); a record's
  // lock is exclusive (RecordLocked when another holds it and `wait` is false).
  virtual int16_t lockFile(bool exclusive) = 0;
  virtual int16_t lockRecord(uint32_t position, bool wait) = 0;
  virtual void unlockRecord(uint32_t position) = 0;
  // True when another open holds the record's lock.
  virtual bool recordLockedByOther(uint32_t position) = 0;

  // Keyed reads. `bound` is a sort form (and `boundPosition` a position, for After and
  // Before). EndOfFile when nothing lies in that direction.
  virtual int16_t seek(int key, SeekMode mode, const std::string& bound, uint32_t boundPosition,
                       FoundRecord& found) = 0;
  // The record at a position, with its sort form in `key`; InvalidPositioning when none.
  virtual int16_t readAt(uint32_t position, int key, FoundRecord& found) = 0;

  // Record count and distinct values per key, as of the current snapshot or write.
  virtual int16_t counts(uint32_t& records, const std::vector<uint32_t>*& distinct) = 0;

  // Writes. Each runs in its own transaction, or inside the process's transaction when
  // `inTransaction` is set (then the file stays in a write transaction until commit or
  // rollback). A write that fails changes nothing.
  virtual int16_t insert(const uint8_t* record, bool inTransaction, uint32_t& position) = 0;
  virtual int16_t update(uint32_t position, const uint8_t* record, bool inTransaction) = 0;
  virtual int16_t remove(uint32_t position, bool inTransaction) = 0;

  // Ends the process's transaction on this file (no-op when it has none).
  virtual int16_t commitTransaction() = 0;
  virtual void rollbackTransaction() = 0;
  virtual bool inWriteTransaction() const = 0;

  virtual void endSnapshot() = 0;

 protected:
  // A back end calls these when its read snapshot begins and ends.
  void snapshotStarted();
  void snapshotEnded();

  // Fills `found` with the record `data` at `position` and its sort form in key `key`, kept
  // until the next call.
  void foundAt(uint32_t position, const uint8_t* data, int key, FoundRecord& found);

  FileLayout layout_;
  bool readOnly_ = false;

 private:
  std::string foundSortForm_;
};

// Opens the record file at `path` (resolved) in the back end its installation chose.
// NotARecordFile when it is not one of ours or damaged.
int16_t openRecordStore(const std::string& path, bool readOnly,
                        std::unique_ptr<RecordStore>& store);

// Makes a new, empty record file; replace = false keeps an existing one (FileExists).
int16_t createRecordStore(const std::string& path, const FileLayout& layout, bool replace);

// Fills a new record file whole: records keep the positions given. Nothing is seen of it
// until finish() succeeds; destroyed unfinished, it leaves no trace.
class RecordLoader {
 public:
  virtual ~RecordLoader() = default;
  virtual int16_t add(uint32_t position, const uint8_t* record) = 0;
  virtual int16_t finish() = 0;
};

// A loader for a new file at `path` of back end `server` (empty: SQLite files). With
// `replace` an existing file of that name is replaced when nobody has it open.
int16_t beginRecordLoad(const std::string& server, const std::string& path,
                        const FileLayout& layout, bool replace,
                        std::unique_ptr<RecordLoader>& loader);

// Opens a record file of an explicit back end (empty server: SQLite files).
int16_t openRecordStoreOn(const std::string& server, const std::string& path, bool readOnly,
                          std::unique_ptr<RecordStore>& store);

// Ends every read snapshot of the process.
void endAllReadSnapshots();
// Ends them when the oldest is older than the snapshot lifetime (100 ms).
void expireOldReadSnapshots();
