#include "recman/sqlite_record_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/files.h"
#include "recman/key_order.h"
#include "recman/record_locks.h"
#include "recman/record_manager.h"

namespace {

// Stored as the database's application id, so a foreign SQLite file is told apart from the
// header alone ("KIVR").
constexpr uint32_t KivApplicationId = 0x4B495652;
constexpr int BusyWaitMs = 1000;

int16_t statusOfSqlite(int rc) {
  switch (rc & 0xff) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE:
      return RecordStatus::Success;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return RecordStatus::FileLocked;
    case SQLITE_FULL:
      return RecordStatus::DiskFull;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
      return RecordStatus::AccessDenied;
    case SQLITE_CONSTRAINT:
      return RecordStatus::DuplicateKey;
    default:
      return RecordStatus::IoError;
  }
}

// A failure while finding out whether a file is ours: damage means "not a record file".
int16_t statusOfSqliteAtOpen(int rc) {
  int16_t status = statusOfSqlite(rc);
  if (status == RecordStatus::IoError || status == RecordStatus::DuplicateKey)
    return RecordStatus::NotARecordFile;
  return status;
}

int16_t statusOfErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return RecordStatus::FileNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
      return RecordStatus::AccessDenied;
    case ENOSPC:
    case EDQUOT:
      return RecordStatus::DiskFull;
    default:
      return RecordStatus::IoError;
  }
}

std::string keyTable(size_t key) {
  return "key_" + std::to_string(key);
}

std::string seekSql(size_t key, SeekMode mode) {
  std::string sql = "SELECT k.value, k.position, r.data FROM " + keyTable(key) +
                    " AS k CROSS JOIN records AS r ON r.position = k.position";
  const char* ascending = " ORDER BY k.value, k.position";
  const char* descending = " ORDER BY k.value DESC, k.position DESC";
  switch (mode) {
    case SeekMode::First:
      return sql + ascending;
    case SeekMode::Last:
      return sql + descending;
    case SeekMode::GreaterOrEqual:
      return sql + " WHERE k.value >= ?1" + ascending;
    case SeekMode::Greater:
      return sql + " WHERE k.value > ?1" + ascending;
    case SeekMode::LessOrEqual:
      return sql + " WHERE k.value <= ?1" + descending;
    case SeekMode::Less:
      return sql + " WHERE k.value < ?1" + descending;
    case SeekMode::After:
      return sql + " WHERE (k.value, k.position) > (?1, ?2)" + ascending;
    case SeekMode::Before:
      return sql + " WHERE (k.value, k.position) < (?1, ?2)" + descending;
  }
  return sql;
}

bool ascendingMode(SeekMode mode) {
  return mode == SeekMode::First || mode == SeekMode::GreaterOrEqual || mode == SeekMode::Greater ||
         mode == SeekMode::After;
}

// Reads the first 100 bytes: an SQLite header carrying our application id.
int16_t checkHeader(const std::string& path) {
  int fd = openFileDescriptor(path, O_RDONLY);
  if (fd < 0) return statusOfErrno(errno);
  uint8_t header[100];
  ssize_t got = ::read(fd, header, sizeof header);
  int error = errno;
  ::close(fd);
  if (got < 0 && error != EISDIR) return statusOfErrno(error);
  if (got != ssize_t(sizeof header) || std::memcmp(header, "SQLite format 3", 16) != 0)
    return RecordStatus::NotARecordFile;
  uint32_t id = uint32_t(header[68]) << 24 | uint32_t(header[69]) << 16 |
                uint32_t(header[70]) << 8 | header[71];
  return id == KivApplicationId ? RecordStatus::Success : RecordStatus::NotARecordFile;
}

void hardenConnection(sqlite3* db) {
  sqlite3_extended_result_codes(db, 1);
  sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
  sqlite3_busy_timeout(db, BusyWaitMs);
}

int16_t openStatus(sqlite3* db, int rc) {
  int error = db ? sqlite3_system_errno(db) : 0;
  if ((rc & 0xff) == SQLITE_CANTOPEN && error != 0) return statusOfErrno(error);
  return statusOfSqlite(rc);
}

void removeSqliteFiles(const std::string& path) {
  for (const char* suffix : {"-wal", "-shm", "-journal"}) ::unlink((path + suffix).c_str());
}

void syncDirectoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
}

// Builds the new file's schema at `path` (a fresh name) and closes it.
int16_t buildFile(const std::string& path, const FileLayout& layout) {
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(
      path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    int16_t status = openStatus(db, rc);
    sqlite3_close_v2(db);
    return status;
  }
  hardenConnection(db);
  std::string sql = "PRAGMA page_size=" + std::to_string(layout.pageSize) +
                    "; PRAGMA application_id=" + std::to_string(KivApplicationId) +
                    "; PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; BEGIN;"
                    " CREATE TABLE record_file(magic TEXT NOT NULL, format INTEGER NOT NULL,"
                    " layout BLOB NOT NULL, record_count INTEGER NOT NULL);"
                    " CREATE TABLE key_stats(key_number INTEGER PRIMARY KEY,"
                    " distinct_values INTEGER NOT NULL);"
                    " CREATE TABLE records(position INTEGER PRIMARY KEY, data BLOB NOT NULL);";
  for (size_t k = 0; k < layout.keys.size(); ++k) {
    sql += " CREATE TABLE " + keyTable(k) +
           "(value BLOB NOT NULL, position INTEGER NOT NULL, PRIMARY KEY(value, position))"
           " WITHOUT ROWID; INSERT INTO key_stats VALUES(" +
           std::to_string(k) + ", 0);";
  }
  rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
  if (rc == SQLITE_OK) {
    sqlite3_stmt* insert = nullptr;
    rc = sqlite3_prepare_v2(db, "INSERT INTO record_file VALUES(?1, ?2, ?3, 0)", -1, &insert,
                            nullptr);
    if (rc == SQLITE_OK) {
      std::string bytes = encodeFileLayout(layout);
      sqlite3_bind_text(insert, 1, RecordFileMagic, -1, SQLITE_STATIC);
      sqlite3_bind_int(insert, 2, RecordFileFormat);
      sqlite3_bind_blob(insert, 3, bytes.data(), int(bytes.size()), SQLITE_TRANSIENT);
      rc = sqlite3_step(insert);
      if (rc == SQLITE_DONE) rc = SQLITE_OK;
    }
    sqlite3_finalize(insert);
  }
  if (rc == SQLITE_OK) rc = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  int16_t status = rc == SQLITE_OK ? RecordStatus::Success : openStatus(db, rc);
  if (sqlite3_close(db) != SQLITE_OK && status == RecordStatus::Success)
    status = RecordStatus::IoError;
  return status;
}

}  // namespace

// ---- creation and opening ----

namespace {

// A new file built under a private name and put in place whole when finished, so no
// half-made file is ever seen.
class SqliteLoader : public RecordLoader {
 public:
  SqliteLoader(const std::string& path, const FileLayout& layout, bool replace)
      : path_(path),
        building_(path + ".new-" + std::to_string(::getpid())),
        layout_(layout),
        replace_(replace) {}
  ~SqliteLoader() override {
    closeDatabase();
    ::unlink(building_.c_str());
    removeSqliteFiles(building_);
  }

  int16_t begin() {
    struct stat info;
    bool exists = ::stat(path_.c_str(), &info) == 0;
    if (exists && !replace_) return RecordStatus::FileExists;
    if (exists && !S_ISREG(info.st_mode)) return RecordStatus::AccessDenied;
    if (exists) {  // nobody may have the file open while it is replaced
      int16_t status = guard_.open(path_);
      if (status == RecordStatus::Success) status = guard_.lockFile(true);
      if (status != RecordStatus::Success) return status;
    }
    ::unlink(building_.c_str());
    removeSqliteFiles(building_);
    return buildFile(building_, layout_);
  }

  int16_t add(uint32_t position, const uint8_t* record) override {
    if (!validRecordPosition(position)) return RecordStatus::InvalidPositioning;
    int16_t status = db_ ? RecordStatus::Success : openForLoading();
    if (status != RecordStatus::Success) return status;
    sqlite3_bind_int64(insertRecord_, 1, position);
    sqlite3_bind_blob(insertRecord_, 2, record, layout_.recordLength, SQLITE_STATIC);
    status = step(insertRecord_);
    for (size_t k = 0; k < layout_.keys.size() && status == RecordStatus::Success; ++k) {
      sortFormOfRecord(layout_, layout_.keys[k], record, sortForm_);
      sqlite3_bind_blob(insertKey_[k], 1, sortForm_.data(), int(sortForm_.size()), SQLITE_STATIC);
      sqlite3_bind_int64(insertKey_[k], 2, position);
      status = step(insertKey_[k]);
    }
    return status;
  }

  int16_t finish() override {
    int16_t status = db_ ? storeCounts() : RecordStatus::Success;
    if (status == RecordStatus::Success && db_)
      status = statusOfSqlite(sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr));
    closeDatabase();
    if (status != RecordStatus::Success) return status;
    removeSqliteFiles(path_);  // a journal left by an earlier file of that name is not ours
    int rc = replace_ ? ::rename(building_.c_str(), path_.c_str())
                      : ::link(building_.c_str(), path_.c_str());
    if (rc != 0) return errno == EEXIST ? RecordStatus::FileExists : statusOfErrno(errno);
    syncDirectoryOf(path_);
    return RecordStatus::Success;
  }

 private:
  int16_t openForLoading() {
    int rc = sqlite3_open_v2(building_.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                             nullptr);
    if (rc == SQLITE_OK) {
      hardenConnection(db_);
      rc = sqlite3_exec(db_, "PRAGMA synchronous=FULL; BEGIN", nullptr, nullptr, nullptr);
    }
    if (rc == SQLITE_OK)
      rc = sqlite3_prepare_v2(db_, "INSERT INTO records(position, data) VALUES(?1, ?2)", -1,
                              &insertRecord_, nullptr);
    insertKey_.assign(layout_.keys.size(), nullptr);
    for (size_t k = 0; k < layout_.keys.size() && rc == SQLITE_OK; ++k)
      rc = sqlite3_prepare_v2(db_, ("INSERT INTO " + keyTable(k) + " VALUES(?1, ?2)").c_str(), -1,
                              &insertKey_[k], nullptr);
    return rc == SQLITE_OK ? RecordStatus::Success : openStatus(db_, rc);
  }

  // Counted once, as the file is made; from then on every write keeps them.
  int16_t storeCounts() {
    std::string sql = "UPDATE record_file SET record_count = (SELECT count(*) FROM records);";
    for (size_t k = 0; k < layout_.keys.size(); ++k)
      sql += " UPDATE key_stats SET distinct_values = (SELECT count(DISTINCT value) FROM " +
             keyTable(k) + ") WHERE key_number = " + std::to_string(k) + ";";
    int16_t status = statusOfSqlite(sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr));
    // A key without duplicates holds each value once.
    for (size_t k = 0; k < layout_.keys.size() && status == RecordStatus::Success; ++k) {
      if (layout_.keys[k].duplicates) continue;
      sqlite3_stmt* query = nullptr;
      std::string probe =
          "SELECT 1 FROM " + keyTable(k) + " GROUP BY value HAVING count(*) > 1 LIMIT 1";
      int rc = sqlite3_prepare_v2(db_, probe.c_str(), -1, &query, nullptr);
      if (rc == SQLITE_OK) rc = sqlite3_step(query);
      sqlite3_finalize(query);
      if (rc == SQLITE_ROW)
        status = RecordStatus::DuplicateKey;
      else if (rc != SQLITE_DONE)
        status = statusOfSqlite(rc);
    }
    return status;
  }

  int16_t step(sqlite3_stmt* statement) {
    int rc = sqlite3_step(statement);
    sqlite3_reset(statement);
    return rc == SQLITE_DONE ? RecordStatus::Success : statusOfSqlite(rc);
  }

  void closeDatabase() {
    sqlite3_finalize(insertRecord_);
    insertRecord_ = nullptr;
    for (sqlite3_stmt* statement : insertKey_) sqlite3_finalize(statement);
    insertKey_.clear();
    if (db_) sqlite3_close_v2(db_);  // an unfinished load is rolled back with the connection
    db_ = nullptr;
  }

  std::string path_, building_;
  FileLayout layout_;
  bool replace_;
  LockFile guard_;
  sqlite3* db_ = nullptr;
  sqlite3_stmt* insertRecord_ = nullptr;
  std::vector<sqlite3_stmt*> insertKey_;
  std::string sortForm_;
};

}  // namespace

int16_t SqliteRecordStore::beginLoad(const std::string& path, const FileLayout& layout,
                                     bool replace, std::unique_ptr<RecordLoader>& loader) {
  auto made = std::make_unique<SqliteLoader>(path, layout, replace);
  int16_t status = made->begin();
  if (status == RecordStatus::Success) loader = std::move(made);
  return status;
}

SqliteRecordStore::~SqliteRecordStore() {
  close();
}

int16_t SqliteRecordStore::open(const std::string& path, bool readOnly) {
  close();
  int16_t status = checkHeader(path);
  if (status != RecordStatus::Success) return status;
  readOnly_ = readOnly;
  int flags = (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX;
  int rc = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
  if (rc != SQLITE_OK) {
    status = openStatus(db_, rc);
    sqlite3_close_v2(db_);
    db_ = nullptr;
    return status;
  }
  hardenConnection(db_);
  rc = sqlite3_exec(
      db_,
      readOnly ? "PRAGMA synchronous=FULL" : "PRAGMA synchronous=FULL; PRAGMA journal_mode=WAL",
      nullptr, nullptr, nullptr);
  status = rc == SQLITE_OK ? validate() : statusOfSqliteAtOpen(rc);
  if (status == RecordStatus::Success) status = prepareStatements();
  if (status == RecordStatus::Success) status = locks_.open(path);
  if (status != RecordStatus::Success) close();
  return status;
}

int16_t SqliteRecordStore::validate() {
  sqlite3_stmt* query = nullptr;
  int rc = sqlite3_prepare_v2(db_, "SELECT magic, format, layout, record_count FROM record_file",
                              -1, &query, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_finalize(query);
    return statusOfSqliteAtOpen(rc);
  }
  int16_t status = RecordStatus::NotARecordFile;
  rc = sqlite3_step(query);
  if (rc == SQLITE_ROW) {
    const char* magic = reinterpret_cast<const char*>(sqlite3_column_text(query, 0));
    const void* bytes = sqlite3_column_blob(query, 2);
    int length = sqlite3_column_bytes(query, 2);
    if (magic && std::strcmp(magic, RecordFileMagic) == 0 &&
        sqlite3_column_int(query, 1) == RecordFileFormat && bytes &&
        sqlite3_column_type(query, 3) == SQLITE_INTEGER &&
        parseFileLayout(static_cast<const uint8_t*>(bytes), size_t(length), layout_) ==
            RecordStatus::Success &&
        sqlite3_step(query) == SQLITE_DONE)
      status = RecordStatus::Success;
  } else if (rc != SQLITE_DONE) {
    status = statusOfSqliteAtOpen(rc);
  }
  sqlite3_finalize(query);
  if (status != RecordStatus::Success) return status;

  rc = sqlite3_prepare_v2(db_, "SELECT key_number FROM key_stats ORDER BY key_number", -1, &query,
                          nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_finalize(query);
    return statusOfSqliteAtOpen(rc);
  }
  int64_t expected = 0;
  while ((rc = sqlite3_step(query)) == SQLITE_ROW)
    if (sqlite3_column_int64(query, 0) != expected++) break;
  if (rc != SQLITE_DONE || expected != int64_t(layout_.keys.size()))
    status = rc == SQLITE_ROW || rc == SQLITE_DONE ? RecordStatus::NotARecordFile
                                                   : statusOfSqliteAtOpen(rc);
  sqlite3_finalize(query);
  return status;
}

int16_t SqliteRecordStore::prepareStatements() {
  int rc = SQLITE_OK;
  auto prepare = [&](sqlite3_stmt*& statement, const std::string& sql) {
    if (rc == SQLITE_OK)
      rc = sqlite3_prepare_v3(db_, sql.c_str(), int(sql.size()) + 1, SQLITE_PREPARE_PERSISTENT,
                              &statement, nullptr);
  };
  keyStatements_.resize(layout_.keys.size());
  for (size_t k = 0; k < layout_.keys.size(); ++k) {
    KeyStatements& key = keyStatements_[k];
    for (int mode = 0; mode < 8; ++mode) prepare(key.seek[mode], seekSql(k, SeekMode(mode)));
    prepare(key.insert, "INSERT INTO " + keyTable(k) + "(value, position) VALUES(?1, ?2)");
    prepare(key.remove, "DELETE FROM " + keyTable(k) + " WHERE value = ?1 AND position = ?2");
    prepare(key.probe, "SELECT 1 FROM " + keyTable(k) + " WHERE value = ?1 LIMIT 1");
  }
  prepare(readAt_, "SELECT data FROM records WHERE position = ?1");
  prepare(insertRecord_, "INSERT INTO records(position, data) VALUES(NULL, ?1)");
  prepare(updateRecord_, "UPDATE records SET data = ?2 WHERE position = ?1");
  prepare(deleteRecord_, "DELETE FROM records WHERE position = ?1");
  prepare(readCount_, "SELECT record_count FROM record_file");
  prepare(readDistinct_, "SELECT distinct_values FROM key_stats ORDER BY key_number");
  prepare(writeCount_, "UPDATE record_file SET record_count = ?1");
  prepare(writeDistinct_, "UPDATE key_stats SET distinct_values = ?2 WHERE key_number = ?1");
  prepare(begin_, "BEGIN");
  prepare(beginImmediate_, "BEGIN IMMEDIATE");
  prepare(commit_, "COMMIT");
  prepare(rollback_, "ROLLBACK");
  prepare(savepoint_, "SAVEPOINT write_operation");
  prepare(release_, "RELEASE write_operation");
  prepare(rollbackTo_, "ROLLBACK TO write_operation");
  distinct_.assign(layout_.keys.size(), 0);
  return statusOfSqliteAtOpen(rc);
}

std::array<sqlite3_stmt**, 15> SqliteRecordStore::fileStatements() {
  return {&readAt_,       &insertRecord_, &updateRecord_,  &deleteRecord_, &readCount_,
          &readDistinct_, &writeCount_,   &writeDistinct_, &begin_,        &beginImmediate_,
          &commit_,       &rollback_,     &savepoint_,     &release_,      &rollbackTo_};
}

void SqliteRecordStore::finalizeStatements() {
  for (KeyStatements& key : keyStatements_) {
    for (sqlite3_stmt* statement : key.seek) sqlite3_finalize(statement);
    sqlite3_finalize(key.insert);
    sqlite3_finalize(key.remove);
    sqlite3_finalize(key.probe);
  }
  keyStatements_.clear();
  for (sqlite3_stmt** statement : fileStatements()) {
    sqlite3_finalize(*statement);
    *statement = nullptr;
  }
  cursor_ = nullptr;
}

void SqliteRecordStore::close() {
  if (!db_) return;
  if (state_ == State::Snapshot) endSnapshot();
  if (state_ == State::Writing) rollbackTransaction();
  finalizeStatements();
  sqlite3_close_v2(db_);
  db_ = nullptr;
  locks_.close();
  state_ = State::Idle;
}

void SqliteRecordStore::forgetStatements() {
  keyStatements_.clear();
  for (sqlite3_stmt** statement : fileStatements()) *statement = nullptr;
  cursor_ = nullptr;
}

void SqliteRecordStore::abandon() {
  if (state_ == State::Snapshot) snapshotEnded();
  forgetStatements();
  db_ = nullptr;
  locks_.close();  // the parent's locks stay: its descriptor still refers to them
  state_ = State::Idle;
}

// ---- snapshots ----

int16_t SqliteRecordStore::exec(sqlite3_stmt* statement) {
  int rc = sqlite3_step(statement);
  sqlite3_reset(statement);
  return rc == SQLITE_DONE || rc == SQLITE_ROW ? RecordStatus::Success : statusOfSqlite(rc);
}

int16_t SqliteRecordStore::ensureRead() {
  if (state_ != State::Idle) return RecordStatus::Success;
  int16_t status = exec(begin_);
  if (status != RecordStatus::Success) return status;
  snapshotStarted();
  state_ = State::Snapshot;
  return RecordStatus::Success;
}

void SqliteRecordStore::endSnapshot() {
  if (state_ != State::Snapshot) return;
  resetCursor();
  exec(commit_);
  state_ = State::Idle;
  countsValid_ = false;
  snapshotEnded();
}

// ---- reads ----

void SqliteRecordStore::resetCursor() {
  if (cursor_) sqlite3_reset(cursor_);
  cursor_ = nullptr;
}

int16_t SqliteRecordStore::stepRow(sqlite3_stmt* statement, int key, FoundRecord& found) {
  int rc = sqlite3_step(statement);
  if (rc != SQLITE_ROW) {
    sqlite3_reset(statement);
    if (statement == cursor_) cursor_ = nullptr;
    return rc == SQLITE_DONE ? RecordStatus::EndOfFile : statusOfSqlite(rc);
  }
  const void* sortForm = sqlite3_column_blob(statement, 0);
  int sortLength = sqlite3_column_bytes(statement, 0);
  int64_t position = sqlite3_column_int64(statement, 1);
  const void* data = sqlite3_column_blob(statement, 2);
  int dataLength = sqlite3_column_bytes(statement, 2);
  if (!data || dataLength != layout_.recordLength || !validRecordPosition(position) ||
      sortLength != layout_.keys[size_t(key)].length) {
    sqlite3_reset(statement);
    if (statement == cursor_) cursor_ = nullptr;
    return RecordStatus::IoError;
  }
  found.position = uint32_t(position);
  found.data = static_cast<const uint8_t*>(data);
  found.sortForm = static_cast<const uint8_t*>(sortForm);
  found.sortLength = sortLength;
  return RecordStatus::Success;
}

int16_t SqliteRecordStore::seek(int key, SeekMode mode, const std::string& bound,
                                uint32_t boundPosition, FoundRecord& found) {
  int16_t status = ensureRead();
  if (status != RecordStatus::Success) return status;
  bool ascending = ascendingMode(mode);
  // A step that continues the previous read in the same direction takes the next row of the
  // query that read it.
  if ((mode == SeekMode::After || mode == SeekMode::Before) && cursor_ && cursorKey_ == key &&
      cursorAscending_ == ascending && cursorPosition_ == boundPosition) {
    status = stepRow(cursor_, key, found);
    if (status == RecordStatus::Success) cursorPosition_ = found.position;
    return status;
  }
  resetCursor();
  sqlite3_stmt* statement = keyStatements_[size_t(key)].seek[int(mode)];
  // A copy: the query stays open as the cursor while the caller's bound changes, and SQLite
  // may compare rows with the bound at every step.
  if (mode != SeekMode::First && mode != SeekMode::Last)
    sqlite3_bind_blob(statement, 1, bound.data(), int(bound.size()), SQLITE_TRANSIENT);
  if (mode == SeekMode::After || mode == SeekMode::Before)
    sqlite3_bind_int64(statement, 2, boundPosition);
  status = stepRow(statement, key, found);
  if (status != RecordStatus::Success) return status;
  cursor_ = statement;
  cursorKey_ = key;
  cursorAscending_ = ascending;
  cursorPosition_ = found.position;
  return status;
}

int16_t SqliteRecordStore::readAt(uint32_t position, int key, FoundRecord& found) {
  int16_t status = ensureRead();
  if (status != RecordStatus::Success) return status;
  if (!validRecordPosition(position)) return RecordStatus::InvalidPositioning;
  sqlite3_bind_int64(readAt_, 1, position);
  int rc = sqlite3_step(readAt_);
  if (rc != SQLITE_ROW) {
    sqlite3_reset(readAt_);
    return rc == SQLITE_DONE ? RecordStatus::InvalidPositioning : statusOfSqlite(rc);
  }
  const void* data = sqlite3_column_blob(readAt_, 0);
  if (!data || sqlite3_column_bytes(readAt_, 0) != layout_.recordLength) {
    sqlite3_reset(readAt_);
    return RecordStatus::IoError;
  }
  rowScratch_.assign(static_cast<const char*>(data), layout_.recordLength);
  sqlite3_reset(readAt_);
  foundAt(position, reinterpret_cast<const uint8_t*>(rowScratch_.data()), key, found);
  return RecordStatus::Success;
}

// ---- counts ----

int16_t SqliteRecordStore::loadCounts() {
  int rc = sqlite3_step(readCount_);
  if (rc == SQLITE_ROW) recordCount_ = uint32_t(sqlite3_column_int64(readCount_, 0));
  sqlite3_reset(readCount_);
  if (rc != SQLITE_ROW) return rc == SQLITE_DONE ? RecordStatus::IoError : statusOfSqlite(rc);
  size_t k = 0;
  while ((rc = sqlite3_step(readDistinct_)) == SQLITE_ROW && k < distinct_.size())
    distinct_[k++] = uint32_t(sqlite3_column_int64(readDistinct_, 0));
  sqlite3_reset(readDistinct_);
  if (k != distinct_.size()) return rc == SQLITE_DONE ? RecordStatus::IoError : statusOfSqlite(rc);
  countsValid_ = true;
  countsDirty_ = false;
  return RecordStatus::Success;
}

int16_t SqliteRecordStore::counts(uint32_t& records, const std::vector<uint32_t>*& distinct) {
  if (!countsValid_) {
    int16_t status = ensureRead();
    if (status == RecordStatus::Success) status = loadCounts();
    if (status != RecordStatus::Success) return status;
  }
  records = recordCount_;
  distinct = &distinct_;
  return RecordStatus::Success;
}

int16_t SqliteRecordStore::flushCounts() {
  if (!countsDirty_) return RecordStatus::Success;
  sqlite3_bind_int64(writeCount_, 1, recordCount_);
  int16_t status = exec(writeCount_);
  for (size_t k = 0; k < distinct_.size() && status == RecordStatus::Success; ++k) {
    sqlite3_bind_int64(writeDistinct_, 1, int64_t(k));
    sqlite3_bind_int64(writeDistinct_, 2, distinct_[k]);
    status = exec(writeDistinct_);
  }
  if (status == RecordStatus::Success) countsDirty_ = false;
  return status;
}

// ---- writes ----

int16_t SqliteRecordStore::beginWrite(bool inTransaction) {
  if (readOnly_) return RecordStatus::AccessDenied;
  resetCursor();
  if (state_ != State::Writing) {
    endAllReadSnapshots();
    int16_t status = exec(beginImmediate_);
    if (status != RecordStatus::Success) return status;
    state_ = State::Writing;
    userTransaction_ = inTransaction;
    countsValid_ = false;
  }
  if (!countsValid_) {
    int16_t status = loadCounts();
    if (status != RecordStatus::Success) {
      if (!userTransaction_) rollbackTransaction();
      return status;
    }
  }
  if (userTransaction_) {
    int16_t status = exec(savepoint_);
    if (status != RecordStatus::Success) return status;
    savedRecordCount_ = recordCount_;
    savedDistinct_ = distinct_;
  }
  return RecordStatus::Success;
}

int16_t SqliteRecordStore::finishWrite(int16_t status) {
  resetCursor();
  if (userTransaction_) {
    if (status != RecordStatus::Success) {
      exec(rollbackTo_);
      recordCount_ = savedRecordCount_;
      distinct_ = savedDistinct_;
    }
    exec(release_);
    return status;
  }
  if (status == RecordStatus::Success) return commitTransaction();
  rollbackTransaction();
  return status;
}

int16_t SqliteRecordStore::commitTransaction() {
  if (state_ != State::Writing) return RecordStatus::Success;
  resetCursor();
  int16_t status = flushCounts();
  if (status == RecordStatus::Success) status = exec(commit_);
  if (status != RecordStatus::Success) {
    rollbackTransaction();
    return status;
  }
  state_ = State::Idle;
  userTransaction_ = false;
  countsValid_ = false;
  return status;
}

void SqliteRecordStore::rollbackTransaction() {
  if (state_ != State::Writing) return;
  resetCursor();
  exec(rollback_);
  state_ = State::Idle;
  userTransaction_ = false;
  countsValid_ = false;
  countsDirty_ = false;
}

bool SqliteRecordStore::keyExists(int key, const std::string& sortForm, int16_t& status) {
  sqlite3_stmt* probe = keyStatements_[size_t(key)].probe;
  sqlite3_bind_blob(probe, 1, sortForm.data(), int(sortForm.size()), SQLITE_STATIC);
  int rc = sqlite3_step(probe);
  sqlite3_reset(probe);
  status = rc == SQLITE_ROW || rc == SQLITE_DONE ? RecordStatus::Success : statusOfSqlite(rc);
  return rc == SQLITE_ROW;
}

int16_t SqliteRecordStore::allocatePosition(uint32_t& position) {
  int64_t rowid = sqlite3_last_insert_rowid(db_);
  if (validRecordPosition(rowid)) {
    position = uint32_t(rowid);
    return RecordStatus::Success;
  }
  // The highest position is taken: use the lowest free one instead.
  sqlite3_stmt* query = nullptr;
  int rc = sqlite3_prepare_v2(
      db_,
      "SELECT CASE WHEN NOT EXISTS(SELECT 1 FROM records WHERE position = 1) THEN 1 ELSE"
      " (SELECT r.position + 1 FROM records AS r WHERE r.position < ?1 AND NOT EXISTS"
      " (SELECT 1 FROM records AS s WHERE s.position = r.position + 1) LIMIT 1) END",
      -1, &query, nullptr);
  int64_t free = 0;
  if (rc == SQLITE_OK) {
    sqlite3_bind_int64(query, 1, MaxRecordPosition);
    rc = sqlite3_step(query);
    if (rc == SQLITE_ROW) free = sqlite3_column_int64(query, 0);
  }
  sqlite3_finalize(query);
  if (rc != SQLITE_ROW) return statusOfSqlite(rc);
  if (!validRecordPosition(free)) return RecordStatus::DiskFull;
  sqlite3_stmt* move = nullptr;
  rc = sqlite3_prepare_v2(db_, "UPDATE records SET position = ?1 WHERE position = ?2", -1, &move,
                          nullptr);
  if (rc == SQLITE_OK) {
    sqlite3_bind_int64(move, 1, free);
    sqlite3_bind_int64(move, 2, rowid);
    rc = sqlite3_step(move);
  }
  sqlite3_finalize(move);
  if (rc != SQLITE_DONE) return statusOfSqlite(rc);
  position = uint32_t(free);
  return RecordStatus::Success;
}

// Adds (or removes) the key rows of a record, checking unique keys and keeping the
// distinct-value counts.
int16_t SqliteRecordStore::writeKeys(uint32_t position, const uint8_t* record, bool add) {
  int16_t status = RecordStatus::Success;
  for (size_t k = 0; k < layout_.keys.size() && status == RecordStatus::Success; ++k) {
    KeyStatements& key = keyStatements_[k];
    sortFormOfRecord(layout_, layout_.keys[k], record, sortScratch_);
    if (add) {
      bool exists = keyExists(int(k), sortScratch_, status);
      if (status != RecordStatus::Success) break;
      if (exists && !layout_.keys[k].duplicates) return RecordStatus::DuplicateKey;
      if (!exists) ++distinct_[k];
      sqlite3_bind_blob(key.insert, 1, sortScratch_.data(), int(sortScratch_.size()),
                        SQLITE_STATIC);
      sqlite3_bind_int64(key.insert, 2, position);
      status = exec(key.insert);
    } else {
      sqlite3_bind_blob(key.remove, 1, sortScratch_.data(), int(sortScratch_.size()),
                        SQLITE_STATIC);
      sqlite3_bind_int64(key.remove, 2, position);
      status = exec(key.remove);
      if (status != RecordStatus::Success) break;
      if (!keyExists(int(k), sortScratch_, status) && status == RecordStatus::Success &&
          distinct_[k] > 0)
        --distinct_[k];
    }
  }
  countsDirty_ = true;
  return status;
}

int16_t SqliteRecordStore::insert(const uint8_t* record, bool inTransaction, uint32_t& position) {
  int16_t status = beginWrite(inTransaction);
  if (status != RecordStatus::Success) return status;
  sqlite3_bind_blob(insertRecord_, 1, record, layout_.recordLength, SQLITE_STATIC);
  status = exec(insertRecord_);
  if (status == RecordStatus::Success) status = allocatePosition(position);
  if (status == RecordStatus::Success) status = writeKeys(position, record, true);
  if (status == RecordStatus::Success) {
    ++recordCount_;
    countsDirty_ = true;
  }
  return finishWrite(status);
}

int16_t SqliteRecordStore::update(uint32_t position, const uint8_t* record, bool inTransaction) {
  int16_t status = beginWrite(inTransaction);
  if (status != RecordStatus::Success) return status;
  FoundRecord old;
  status = readAt(position, 0, old);
  if (status == RecordStatus::Success) {
    status = writeKeys(position, old.data, false);
  }
  if (status == RecordStatus::Success) status = writeKeys(position, record, true);
  if (status == RecordStatus::Success) {
    sqlite3_bind_int64(updateRecord_, 1, position);
    sqlite3_bind_blob(updateRecord_, 2, record, layout_.recordLength, SQLITE_STATIC);
    status = exec(updateRecord_);
  }
  return finishWrite(status);
}

int16_t SqliteRecordStore::remove(uint32_t position, bool inTransaction) {
  int16_t status = beginWrite(inTransaction);
  if (status != RecordStatus::Success) return status;
  FoundRecord old;
  status = readAt(position, 0, old);
  if (status == RecordStatus::Success) status = writeKeys(position, old.data, false);
  if (status == RecordStatus::Success) {
    sqlite3_bind_int64(deleteRecord_, 1, position);
    status = exec(deleteRecord_);
  }
  if (status == RecordStatus::Success) {
    --recordCount_;
    countsDirty_ = true;
  }
  return finishWrite(status);
}
