// Speed of the record manager on the reads the listing makes, each beside the same read done
// by a bare SQLite program inside one open read transaction (and, for scale, outside one).
//
//   recman_bench            1,000,000 apartments of 448 bytes and 100 concepts, built in a
//                           temporary directory first (takes a while), removed at the end.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "recman/record_manager.h"

namespace {

constexpr int ApartmentCount = 1000000;
constexpr int ApartmentLength = 448;
constexpr int ConceptCount = 100;
constexpr int ConceptLength = 32;

struct BenchFiles {
  std::string dir;
  std::string apartments;
  std::string concepts;
  uint8_t apartmentBlock[RecordManagerPositionBlockSize] = {};
  uint8_t conceptBlock[RecordManagerPositionBlockSize] = {};
};

BenchFiles* files = nullptr;

std::string le16(uint16_t v) { return {char(v & 0xff), char(v >> 8)}; }

std::string creation(uint16_t recordLength, uint16_t keyLength) {
  std::string data = le16(recordLength) + le16(4096) + le16(1) + std::string(10, '\0');
  data += le16(1) + le16(keyLength) + le16(0) + std::string(10, '\0');
  data.resize(1536, ' ');
  return data;
}

int16_t call(int16_t op, uint8_t* block, void* data, int32_t* length, void* key,
             int8_t keyNumber) {
  return recordManagerCall(op, block, data, length, key, 255, keyNumber);
}

int16_t createAndOpen(const std::string& path, uint16_t recordLength, uint16_t keyLength,
                      uint8_t* block) {
  std::string data = creation(recordLength, keyLength);
  int32_t length = 1536;
  std::string key = path + '\0';
  uint8_t scratch[RecordManagerPositionBlockSize] = {};
  int16_t status = call(RecordOp::Create, scratch, data.data(), &length, key.data(), -1);
  if (status != 0) return status;
  std::string owner("OWNR\0", 5);
  length = 5;
  return call(RecordOp::Open, block, owner.data(), &length, key.data(), 0);
}

// Packed digits, two to a byte (0x80 + 10 * high + low), as the application's codes are kept.
void packCode(uint32_t value, int digits, uint8_t* out) {
  for (int i = digits / 2 - 1; i >= 0; --i) {
    out[i] = uint8_t(0x80 + value % 10 + 10 * (value / 10 % 10));
    value /= 100;
  }
}

bool buildFiles() {
  files = new BenchFiles;
  files->dir = (std::filesystem::temp_directory_path() /
                ("kiv-recman-bench-" + std::to_string(::getpid())))
                   .string();
  std::filesystem::create_directories(files->dir);
  files->apartments = files->dir + "/DepartaV.dat";
  files->concepts = files->dir + "/TVRebut.dat";
  if (createAndOpen(files->apartments, ApartmentLength, 4, files->apartmentBlock) != 0 ||
      createAndOpen(files->concepts, ConceptLength, 1, files->conceptBlock) != 0)
    return false;
  uint8_t key[256];
  int32_t length;
  if (call(RecordOp::BeginTransaction, nullptr, nullptr, nullptr, nullptr, 0) != 0) return false;
  uint8_t record[ApartmentLength];
  for (int i = 0; i < ApartmentCount; ++i) {
    std::memset(record, ' ', sizeof record);
    packCode(uint32_t(i / 100) * 10000 + uint32_t(i % 100 + 1), 8, record);  // 100 per property
    length = ApartmentLength;
    if (call(RecordOp::Insert, files->apartmentBlock, record, &length, key, 0) != 0) return false;
  }
  for (int i = 0; i < ConceptCount; ++i) {
    std::memset(record, ' ', ConceptLength);
    record[0] = uint8_t(i);
    length = ConceptLength;
    if (call(RecordOp::Insert, files->conceptBlock, record, &length, key, 0) != 0) return false;
  }
  return call(RecordOp::EndTransaction, nullptr, nullptr, nullptr, nullptr, 0) == 0;
}

void removeFiles() {
  uint8_t block[RecordManagerPositionBlockSize] = {};
  call(RecordOp::Reset, block, nullptr, nullptr, nullptr, 0);
  std::error_code ignored;
  std::filesystem::remove_all(files->dir, ignored);
}

// ---- the record manager ----

void GetNextAlongKey0(benchmark::State& state) {
  uint8_t data[1536], key[256];
  int32_t length = 1536;
  call(RecordOp::GetFirst, files->apartmentBlock, data, &length, key, 0);
  for (auto _ : state) {
    length = 1536;
    if (call(RecordOp::GetNext, files->apartmentBlock, data, &length, key, 0) != 0) {
      length = 1536;
      call(RecordOp::GetFirst, files->apartmentBlock, data, &length, key, 0);
    }
    benchmark::DoNotOptimize(data[0]);
  }
}

void GetEqualConcept(benchmark::State& state) {
  uint8_t data[1536], key[256] = {};
  int code = 0;
  for (auto _ : state) {
    key[0] = uint8_t(code);
    code = (code + 37) % ConceptCount;
    int32_t length = 1536;
    if (call(RecordOp::GetEqual, files->conceptBlock, data, &length, key, 0) != 0)
      state.SkipWithError("concept not found");
    benchmark::DoNotOptimize(data[0]);
  }
}

void StatApartments(benchmark::State& state) {
  uint8_t data[1536], key[256];
  for (auto _ : state) {
    int32_t length = 1536;
    if (call(RecordOp::Stat, files->apartmentBlock, data, &length, key, 0) != 0)
      state.SkipWithError("stat failed");
    benchmark::DoNotOptimize(data[6]);
  }
}

// ---- bare SQLite on the same files ----

struct Bare {
  sqlite3* db = nullptr;
  sqlite3_stmt* statement = nullptr;
  Bare(const std::string& path, const char* sql, bool transaction) {
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
    if (transaction) sqlite3_exec(db, "BEGIN; SELECT 1 FROM record_file", nullptr, nullptr, nullptr);
  }
  ~Bare() {
    sqlite3_finalize(statement);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
  }
};

// The next record by key after the previous one: a seek from the key value and position.
void BareNextSeek(benchmark::State& state, bool transaction) {
  Bare bare(files->apartments,
            "SELECT k.value, k.position, r.data FROM key_0 AS k CROSS JOIN records AS r"
            " ON r.position = k.position WHERE (k.value, k.position) > (?1, ?2)"
            " ORDER BY k.value, k.position LIMIT 1",
            transaction);
  uint8_t value[4] = {0, 0, 0, 0}, data[1536];
  int64_t position = 0;
  for (auto _ : state) {
    sqlite3_bind_blob(bare.statement, 1, value, 4, SQLITE_STATIC);
    sqlite3_bind_int64(bare.statement, 2, position);
    if (sqlite3_step(bare.statement) == SQLITE_ROW) {
      std::memcpy(value, sqlite3_column_blob(bare.statement, 0), 4);
      position = sqlite3_column_int64(bare.statement, 1);
      std::memcpy(data, sqlite3_column_blob(bare.statement, 2), ApartmentLength);
    } else {
      std::memset(value, 0, 4);
      position = 0;
    }
    sqlite3_reset(bare.statement);
    benchmark::DoNotOptimize(data[0]);
  }
}

void BareEqual(benchmark::State& state, bool transaction) {
  Bare bare(files->concepts,
            "SELECT r.data FROM key_0 AS k CROSS JOIN records AS r ON r.position = k.position"
            " WHERE k.value = ?1 ORDER BY k.position LIMIT 1",
            transaction);
  uint8_t data[1536];
  uint8_t code = 0;
  for (auto _ : state) {
    sqlite3_bind_blob(bare.statement, 1, &code, 1, SQLITE_STATIC);
    code = uint8_t((code + 37) % ConceptCount);
    if (sqlite3_step(bare.statement) == SQLITE_ROW)
      std::memcpy(data, sqlite3_column_blob(bare.statement, 0), ConceptLength);
    sqlite3_reset(bare.statement);
    benchmark::DoNotOptimize(data[0]);
  }
}

void BareCount(benchmark::State& state, bool transaction) {
  Bare bare(files->apartments, "SELECT record_count FROM record_file", transaction);
  int64_t count = 0;
  for (auto _ : state) {
    if (sqlite3_step(bare.statement) == SQLITE_ROW) count = sqlite3_column_int64(bare.statement, 0);
    sqlite3_reset(bare.statement);
    benchmark::DoNotOptimize(count);
  }
}

void registerAll() {
  auto withMedian = [](benchmark::internal::Benchmark* b) {
    b->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kNanosecond);
  };
  withMedian(benchmark::RegisterBenchmark("GetNext_1M_apartments/recman", GetNextAlongKey0));
  withMedian(benchmark::RegisterBenchmark("GetNext_1M_apartments/bare_in_transaction",
                                          BareNextSeek, true));
  withMedian(benchmark::RegisterBenchmark("GetNext_1M_apartments/bare_outside_transaction",
                                          BareNextSeek, false));
  withMedian(benchmark::RegisterBenchmark("GetEqual_100_concepts/recman", GetEqualConcept));
  withMedian(benchmark::RegisterBenchmark("GetEqual_100_concepts/bare_in_transaction",
                                          BareEqual, true));
  withMedian(benchmark::RegisterBenchmark("GetEqual_100_concepts/bare_outside_transaction",
                                          BareEqual, false));
  withMedian(benchmark::RegisterBenchmark("Stat_1M_apartments/recman", StatApartments));
  withMedian(benchmark::RegisterBenchmark("Stat_1M_apartments/bare_in_transaction", BareCount,
                                          true));
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  std::fprintf(stderr, "building %d apartments and %d concepts...\n", ApartmentCount,
               ConceptCount);
  if (!buildFiles()) {
    std::fprintf(stderr, "recman_bench: cannot build the files\n");
    removeFiles();
    return 1;
  }
  registerAll();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  removeFiles();
  return 0;
}
