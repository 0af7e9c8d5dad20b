// The two record-by-record forms of `load` and `dump`:
//   hex: one record per line, two hexadecimal digits per byte;
//   seq: the record length in decimal, a comma, the record bytes, CR LF; the input may end
//        with the end-of-file byte 0x1A, as files saved by older installations do.
#pragma once

#include <istream>
#include <string>

enum class RecordFormat { Hex, Seq };

// "hex" or "seq"; false for any other name.
bool parseRecordFormat(const std::string& name, RecordFormat& format);

// One record in the given form, line end included.
std::string formatRecord(const std::string& record, RecordFormat format);

// Reads records one at a time, so that a long input is never held whole.
class RecordReader {
 public:
  RecordReader(std::istream& input, RecordFormat format) : input_(input), format_(format) {}

  // True with the next record. False at the end of the input (problem empty) or on malformed
  // input, with `problem` naming the line (hex) or the record and byte offset (seq).
  bool next(std::string& record, std::string& problem);
  // Where the last record read lies: "line 7" (hex) or "record 3 (byte 120)" (seq).
  std::string place() const { return place_; }

 private:
  bool nextHex(std::string& record, std::string& problem);
  bool nextSeq(std::string& record, std::string& problem);

  std::istream& input_;
  RecordFormat format_;
  long line_ = 0;        // hex: lines read
  long records_ = 0;     // seq: records read
  long long offset_ = 0; // seq: bytes read
  std::string place_;
};
