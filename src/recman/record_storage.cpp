#include "recman/record_storage.h"

#include <algorithm>
#include <chrono>

#include "recman/key_order.h"
#include "recman/postgres_record_store.h"
#include "recman/record_file_server.h"
#include "recman/record_manager.h"
#include "recman/sqlite_record_store.h"

namespace {

constexpr auto SnapshotLifetime = std::chrono::milliseconds(100);

// Stores holding a read snapshot, and when the first of them began it. Never destroyed, so
// that open files closed during the process's exit can still take themselves off it.
std::vector<RecordStore*>& snapshotStores = *new std::vector<RecordStore*>;
std::chrono::steady_clock::time_point snapshotStart;

}  // namespace

RecordStore::~RecordStore() {
  snapshotEnded();
}

void RecordStore::snapshotStarted() {
  if (snapshotStores.empty()) snapshotStart = std::chrono::steady_clock::now();
  if (std::find(snapshotStores.begin(), snapshotStores.end(), this) == snapshotStores.end())
    snapshotStores.push_back(this);
}

void RecordStore::snapshotEnded() {
  snapshotStores.erase(std::remove(snapshotStores.begin(), snapshotStores.end(), this),
                       snapshotStores.end());
}

void RecordStore::foundAt(uint32_t position, const uint8_t* data, int key, FoundRecord& found) {
  found.position = position;
  found.data = data;
  sortFormOfRecord(layout_, layout_.keys[size_t(key)], data, foundSortForm_);
  found.sortForm = reinterpret_cast<const uint8_t*>(foundSortForm_.data());
  found.sortLength = int(foundSortForm_.size());
}

void endAllReadSnapshots() {
  while (!snapshotStores.empty()) {
    RecordStore* store = snapshotStores.back();
    store->endSnapshot();
    snapshotStores.erase(std::remove(snapshotStores.begin(), snapshotStores.end(), store),
                         snapshotStores.end());
  }
}

void expireOldReadSnapshots() {
  if (!snapshotStores.empty() &&
      std::chrono::steady_clock::now() - snapshotStart > SnapshotLifetime)
    endAllReadSnapshots();
}

int16_t openRecordStoreOn(const std::string& server, const std::string& path, bool readOnly,
                          std::unique_ptr<RecordStore>& store) {
  int16_t status;
  if (server.empty()) {
    auto file = std::make_unique<SqliteRecordStore>();
    status = file->open(path, readOnly);
    if (status == RecordStatus::Success) store = std::move(file);
  } else {
    auto table = std::make_unique<PostgresRecordStore>();
    status = table->open(server, recordFileBaseName(path), readOnly);
    if (status == RecordStatus::Success) store = std::move(table);
  }
  return status;
}

int16_t openRecordStore(const std::string& path, bool readOnly,
                        std::unique_ptr<RecordStore>& store) {
  return openRecordStoreOn(recordFileServer(path), path, readOnly, store);
}

int16_t beginRecordLoad(const std::string& server, const std::string& path,
                        const FileLayout& layout, bool replace,
                        std::unique_ptr<RecordLoader>& loader) {
  if (server.empty()) return SqliteRecordStore::beginLoad(path, layout, replace, loader);
  return PostgresRecordStore::beginLoad(server, recordFileBaseName(path), layout, replace, loader);
}

int16_t createRecordStore(const std::string& path, const FileLayout& layout, bool replace) {
  std::unique_ptr<RecordLoader> loader;
  int16_t status = beginRecordLoad(recordFileServer(path), path, layout, replace, loader);
  return status == RecordStatus::Success ? loader->finish() : status;
}
