// The record manager's creation data and the record layer's walk over Stat data. Any bytes
// are parsed as creation data; a layout that parses is written back and must read the same,
// and a file created from it must answer Stat with that layout, take a record and read it
// back by every key. The record layer's Stat walk reads both the raw bytes and the answer.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "records/record_file_table.h"
#include "recman/file_layout.h"
#include "recman/record_manager.h"

namespace {

bool sameLayout(const FileLayout& a, const FileLayout& b) {
  if (a.recordLength != b.recordLength || a.keys.size() != b.keys.size() ||
      a.hasCollation != b.hasCollation)
    return false;
  if (a.hasCollation && (a.collationName != b.collationName || a.collationTable != b.collationTable))
    return false;
  for (size_t k = 0; k < a.keys.size(); ++k) {
    const KeyDefinition& x = a.keys[k];
    const KeyDefinition& y = b.keys[k];
    if (x.length != y.length || x.duplicates != y.duplicates || x.collated != y.collated ||
        x.segments.size() != y.segments.size())
      return false;
    for (size_t s = 0; s < x.segments.size(); ++s) {
      if (x.segments[s].offset != y.segments[s].offset ||
          x.segments[s].length != y.segments[s].length ||
          x.segments[s].flags != y.segments[s].flags)
        return false;
    }
  }
  return true;
}

size_t segmentCount(const FileLayout& layout) {
  size_t count = 0;
  for (const KeyDefinition& key : layout.keys) count += key.segments.size();
  return count;
}

int16_t call(int16_t operation, uint8_t* block, std::string& buffer, int32_t& length,
             std::string& key, int8_t keyNumber) {
  return recordManagerCall(operation, block, buffer.data(), &length, key.data(),
                           static_cast<uint8_t>(key.size()), keyNumber);
}

// Creates a file from the creation data, checks its Stat answer, inserts one record made of
// the input's bytes and reads it back by every key.
void exerciseFile(const uint8_t* data, size_t size, const FileLayout& layout) {
  const std::string path = fuzz::scratchDir() + "layout.dat";
  uint8_t block[RecordManagerPositionBlockSize] = {};
  std::string creation(reinterpret_cast<const char*>(data), size);
  int32_t length = static_cast<int32_t>(creation.size());
  std::string name = path + '\0';
  name.resize(255, ' ');
  FUZZ_CHECK(call(RecordOp::Create, block, creation, length, name, RecordCreateMode::Replace) == 0);
  std::string owner(1, '\0');
  int32_t ownerLength = 0;
  FUZZ_CHECK(call(RecordOp::Open, block, owner, ownerLength, name, RecordOpenMode::Normal) == 0);

  std::string stat(encodeFileLayout(layout).size(), '\0');
  int32_t statLength = static_cast<int32_t>(stat.size());
  std::string key(255, '\0');
  FUZZ_CHECK(call(RecordOp::Stat, block, stat, statLength, key, 0) == 0);
  FileLayout answered;
  FUZZ_CHECK(parseFileLayout(reinterpret_cast<const uint8_t*>(stat.data()), statLength,
                             answered) == 0);
  FUZZ_CHECK(sameLayout(answered, layout) && answered.pageSize == layout.pageSize);
  const RecordFileStat walked =
      parseStatData(reinterpret_cast<const uint8_t*>(stat.data()), statLength);
  FUZZ_CHECK(walked.recordLength == layout.recordLength);
  FUZZ_CHECK(walked.keyCount == static_cast<int16_t>(layout.keys.size()));
  FUZZ_CHECK(walked.segments.size() == segmentCount(layout));
  FUZZ_CHECK(walked.collatingTable.size() == (layout.hasCollation ? 256u : 0u));

  std::string record(layout.recordLength, '\0');
  for (size_t i = 0; i < record.size(); ++i) record[i] = static_cast<char>(data[i % size]);
  int32_t recordLength = layout.recordLength;
  FUZZ_CHECK(call(RecordOp::Insert, block, record, recordLength, key, 0) == 0);
  for (size_t k = 0; k < layout.keys.size(); ++k) {
    std::string read(layout.recordLength, '\0');
    int32_t readLength = layout.recordLength;
    FUZZ_CHECK(call(RecordOp::GetFirst, block, read, readLength, key, static_cast<int8_t>(k)) == 0);
    FUZZ_CHECK(read == record);
    // The key value read finds the record again.
    readLength = layout.recordLength;
    FUZZ_CHECK(call(RecordOp::GetEqual, block, read, readLength, key, static_cast<int8_t>(k)) == 0);
    FUZZ_CHECK(read == record);
  }
  FUZZ_CHECK(call(RecordOp::Close, block, owner, ownerLength, key, 0) == 0);
  removeFile(path);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The record layer never trusts what Stat hands it.
  const RecordFileStat raw = parseStatData(data, static_cast<int32_t>(size));
  FUZZ_CHECK(raw.segments.size() <= size / 16);

  FileLayout layout;
  if (parseFileLayout(data, size, layout) != 0) return 0;
  FUZZ_CHECK(layout.recordLength >= 1 && layout.recordLength <= RecordMaxLength);
  FUZZ_CHECK(!layout.keys.empty() && layout.keys.size() <= MaxKeys);
  for (const KeyDefinition& key : layout.keys) {
    FUZZ_CHECK(key.length >= 1 && key.length <= RecordMaxKeyLength);
    for (const KeySegment& segment : key.segments)
      FUZZ_CHECK(segment.offset + segment.length <= layout.recordLength);
  }
  const std::string encoded = encodeFileLayout(layout);
  FileLayout again;
  FUZZ_CHECK(parseFileLayout(reinterpret_cast<const uint8_t*>(encoded.data()), encoded.size(),
                             again) == 0);
  FUZZ_CHECK(sameLayout(layout, again));
  FUZZ_CHECK(encodeFileLayout(again) == encoded);
  exerciseFile(data, size, layout);
  return 0;
}
