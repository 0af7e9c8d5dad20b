#include "text_output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/code_page.h"
#include "platform/files.h"

namespace zideruva {
namespace {

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::string utf8FromCodePage(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char byte : bytes) appendUtf8(out, unicodeForByte(static_cast<uint8_t>(byte)));
  return out;
}

std::string textPages(const PrintDocument& document) {
  std::string out;
  for (size_t p = 0; p < document.pages.size(); ++p) {
    if (p > 0) out += '\f';
    for (const std::string& line : document.pages[p].lines) out += utf8FromCodePage(line) + "\n";
  }
  return out;
}

bool writeTextOutput(const PrintDocument& document, const std::string& path,
                     std::string& error) {
  return writeOutputFile(path, textPages(document), error);
}

bool writeOutputFile(const std::string& path, const std::string& bytes, std::string& error) {
  FILE* file = openFile(path, "wb");
  if (!file) {
    error = std::strerror(errno);
    return false;
  }
  bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() &&
                 std::fflush(file) == 0;
  int writeError = errno;
  if (std::fclose(file) != 0 && written) {
    written = false;
    writeError = errno;
  }
  if (!written) error = std::strerror(writeError ? writeError : EIO);
  return written;
}

}  // namespace zideruva
