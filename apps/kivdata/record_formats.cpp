#include "record_formats.h"

#include <algorithm>
#include <cstdio>

namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string shown(char c) {
  unsigned char byte = static_cast<unsigned char>(c);
  if (byte >= 0x20 && byte < 0x7F) return std::string("\"") + c + "\"";
  const char* digits = "0123456789ABCDEF";
  return std::string("byte 0x") + digits[byte >> 4] + digits[byte & 15];
}

constexpr int kEndOfFileMark = 0x1A;
constexpr int kMaxLengthDigits = 9;
constexpr long kReadPiece = 65536;

}  // namespace

bool parseRecordFormat(const std::string& name, RecordFormat& format) {
  if (name == "hex") {
    format = RecordFormat::Hex;
    return true;
  }
  if (name == "seq") {
    format = RecordFormat::Seq;
    return true;
  }
  return false;
}

std::string formatRecord(const std::string& record, RecordFormat format) {
  if (format == RecordFormat::Seq) return std::to_string(record.size()) + "," + record + "\r\n";
  static const char* digits = "0123456789ABCDEF";
  std::string line;
  line.reserve(record.size() * 2 + 1);
  for (char c : record) {
    unsigned char byte = static_cast<unsigned char>(c);
    line += digits[byte >> 4];
    line += digits[byte & 15];
  }
  line += '\n';
  return line;
}

bool RecordReader::next(std::string& record, std::string& problem) {
  problem.clear();
  record.clear();
  return format_ == RecordFormat::Hex ? nextHex(record, problem) : nextSeq(record, problem);
}

// Blank lines are skipped; blanks and tabs between digits are allowed.
bool RecordReader::nextHex(std::string& record, std::string& problem) {
  std::string text;
  while (std::getline(input_, text)) {
    ++line_;
    if (!text.empty() && text.back() == '\r') text.pop_back();
    int pending = -1;
    for (size_t i = 0; i < text.size(); ++i) {
      char c = text[i];
      if (c == ' ' || c == '\t') continue;
      int value = hexValue(c);
      if (value < 0) {
        problem = "line " + std::to_string(line_) + ", column " + std::to_string(i + 1) + ": " +
                  shown(c) + " is not a hexadecimal digit";
        return false;
      }
      if (pending < 0) {
        pending = value;
      } else {
        record += static_cast<char>(pending * 16 + value);
        pending = -1;
      }
    }
    if (pending >= 0) {
      problem = "line " + std::to_string(line_) + ": odd number of hexadecimal digits";
      return false;
    }
    if (!record.empty()) {
      place_ = "line " + std::to_string(line_);
      return true;
    }
  }
  return false;
}

bool RecordReader::nextSeq(std::string& record, std::string& problem) {
  auto where = [&](long long at) {
    return "record " + std::to_string(records_ + 1) + " (byte " + std::to_string(at) + "): ";
  };
  int c = input_.get();
  if (c == EOF) return false;
  ++offset_;
  if (c == kEndOfFileMark) {
    while ((c = input_.get()) == kEndOfFileMark) ++offset_;
    if (c == EOF) return false;
    problem = where(offset_) + "data after the end-of-file byte 0x1A";
    return false;
  }
  long long start = offset_ - 1;
  long length = 0;
  int digits = 0;
  while (c >= '0' && c <= '9' && digits < kMaxLengthDigits) {
    length = length * 10 + (c - '0');
    ++digits;
    c = input_.get();
    ++offset_;
  }
  if (digits == 0) {
    problem = where(start) + "expected the record length in digits, found " +
              (c == EOF ? std::string("the end of the input") : shown(static_cast<char>(c)));
    return false;
  }
  if (c != ',') {
    problem = where(start) + "expected a comma after the record length";
    return false;
  }
  if (length == 0) {
    problem = where(start) + "record length 0";
    return false;
  }
  // Read in pieces, so that a damaged length field costs memory only for the bytes that
  // are really there.
  long got = 0;
  while (got < length) {
    const long piece = std::min(length - got, kReadPiece);
    record.resize(static_cast<size_t>(got + piece));
    input_.read(record.data() + got, piece);
    got += static_cast<long>(input_.gcount());
    if (input_.gcount() < piece) break;
  }
  record.resize(static_cast<size_t>(got));
  offset_ += got;
  if (got < length) {
    problem = where(start) + "the input ends after " + std::to_string(got) + " of " +
              std::to_string(length) + " bytes";
    return false;
  }
  // The line end: CR LF as written, LF alone is accepted, and so is the end of the input.
  c = input_.peek();
  if (c == '\r') {
    input_.get();
    ++offset_;
    c = input_.peek();
    if (c != '\n') {
      problem = where(start) + "expected CR LF after the " + std::to_string(length) + " bytes";
      return false;
    }
  }
  if (c == '\n') {
    input_.get();
    ++offset_;
  } else if (c != EOF && c != kEndOfFileMark) {
    problem = where(start) + "expected CR LF after the " + std::to_string(length) + " bytes";
    return false;
  }
  ++records_;
  place_ = "record " + std::to_string(records_) + " (byte " + std::to_string(start) + ")";
  return true;
}
