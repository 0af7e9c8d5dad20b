// The PostgreSQL back end: each record file is one table of the installation's database,
// named after the file's base name, with one connection (session) per open file.
//
//   "FinquesV"(position integer, data bytea, key_0 bytea, key_1 bytea, ...)
//
// `position` is an identity column on a sequence of its own (1 to 2147483647, cycling, so a
// freed position may come back once the sequence has gone round; a living one never does);
// `key_<n>` is the sort form of the record's key n, indexed with the position, so that byte
// order of (key_n, position) is key order. The table kiv_record_files holds one row per record
// file: its name, the creation data, the record count and the distinct values of each key,
// kept current by every write in the same statement. Its row is locked (FOR UPDATE) by a
// write transaction for its whole length, so writers of one file follow each other as they do
// on SQLite, and a writer that waits more than about a second gives FileLocked.
//
// Locks are the session's advisory locks on (table oid, 0) for the file, shared or exclusive,
// and (table oid, position) for a record: they vanish with the session, and so with the
// process. Reads share a REPEATABLE READ READ ONLY transaction (the snapshot); within it the
// rows read are kept, by key, in a window of the key order that grows in batches (16 rows,
// then 4 times more at each step in the same direction, up to 512), so a scan costs one round
// trip per batch and repeated look-ups of a small file cost none; a scan asks for its next
// batch as soon as it has one, so the server reads it while the caller works.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "recman/postgres_session.h"
#include "recman/record_storage.h"

class PostgresRecordStore : public RecordStore {
 public:
  PostgresRecordStore() = default;
  ~PostgresRecordStore() override;

  static int16_t beginLoad(const std::string& server, const std::string& name,
                           const FileLayout& layout, bool replace,
                           std::unique_ptr<RecordLoader>& loader);
  static int16_t listFiles(const std::string& server, std::vector<std::string>& names);

  int16_t open(const std::string& server, const std::string& name, bool readOnly);
  void close();
  void abandon() override;

  int16_t lockFile(bool exclusive) override;
  int16_t lockRecord(uint32_t position, bool wait) override;
  void unlockRecord(uint32_t position) override;
  bool recordLockedByOther(uint32_t position) override;

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

  // A place in the order of a key: (sort form, position), or before / after everything.
  // Positions run from 0 (before every record of that sort form) to 2^31 (after them).
  struct Place {
    int infinity = 0;  // -1 before everything, +1 after everything
    std::string sortForm;
    int64_t position = 0;
  };
  struct CachedRow {
    const uint8_t* sortForm;
    int sortLength;
    const uint8_t* data;  // null: a damaged row (IoError when read)
    uint32_t position;
  };
  // Rows of one key known to be every row between `low` and `high` (both included).
  struct Window {
    bool valid = false;
    Place low, high;
    std::vector<CachedRow> rows;  // in key order
    std::vector<PgResult> batches;
    int batchSize = 0;  // of the last batch; kept across snapshots, so a scan goes on growing
  };

  int16_t validate(const std::string& name);
  bool unlistedTable(const std::string& name);
  void buildStatements();
  void ensureRead();
  void dropCaches();
  int16_t fetch(int key, const Place& from, bool ascending, bool join, bool grow);
  size_t queueSeek(int key, const Place& from, bool ascending, int limit);
  static bool samePlace(const Place& a, const Place& b);
  int16_t deliverRow(int key, const CachedRow& row, FoundRecord& found);
  int16_t write(PgStatement& statement, std::vector<PgParam> parameters, bool inTransaction,
                PgResult& outcome);
  std::vector<PgParam> keyParameters(const uint8_t* record);
  int16_t findFreePosition();
  int32_t lockKey() const { return int32_t(tableOid_); }

  PgSession session_;
  std::string name_;
  uint32_t tableOid_ = 0;
  State state_ = State::Idle;
  bool userTransaction_ = false;
  int16_t failedTransaction_ = 0;  // the process's transaction was lost on this file

  struct KeyStatements {
    PgStatement seek[8];  // ascending: all, >=, >, tuple; descending: all, <=, <, tuple
  };
  std::vector<KeyStatements> keyStatements_;
  PgStatement readAt_, counts_, lockWriter_, insert_, update_, remove_;
  PgStatement tryLock_, tryLockShared_, lock_, unlock_, lockedByOther_, freePosition_;
  std::vector<Window> windows_;
  // The batch a scan has asked for ahead.
  struct ReadAhead {
    bool valid = false;
    int key = 0;
    bool ascending = true;
    Place from;
    int limit = 0;
  } ahead_;

  bool countsValid_ = false;
  uint32_t recordCount_ = 0;
  std::vector<uint32_t> distinct_;

  PgResult readAtResult_;
  std::string sortScratch_;
};
