// kivdata's record readers: the input, after a first byte that picks the hex or the
// sequential form, is read record by record until the end or the first fault; every record
// read, written back in its form, reads back the same.
#include <cstdint>
#include <sstream>
#include <string>

#include "fuzz_support.h"
#include "record_formats.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const RecordFormat format = (data[0] & 1) ? RecordFormat::Seq : RecordFormat::Hex;
  std::istringstream input(std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
  RecordReader reader(input, format);
  std::string record, problem;
  size_t total = 0;
  while (reader.next(record, problem)) {
    total += record.size();
    FUZZ_CHECK(!record.empty() && total <= size);
    std::istringstream written(formatRecord(record, format));
    RecordReader back(written, format);
    std::string again, againProblem;
    FUZZ_CHECK(back.next(again, againProblem) && again == record);
    FUZZ_CHECK(!back.next(again, againProblem) && againProblem.empty());
  }
  return 0;
}
