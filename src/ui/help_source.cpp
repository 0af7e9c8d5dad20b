#include "ui/help_source.h"

#include <cstdio>
#include <iterator>
#include <vector>

#include "platform/code_page.h"
#include "ui/help_file.h"
#include "ui/text_trim.h"

namespace {

struct Mark {
  const char* text;
  char switchByte;
};
constexpr Mark Marks[] = {
    {"**", HelpHighlightSwitch}, {"__", HelpUnderlineSwitch}, {"~~", HelpReverseSwitch}};
constexpr size_t MarkCount = std::size(Marks);

// The next character of UTF-8 text at `at`, advancing it; -1 for a malformed sequence.
long nextCodePoint(const std::string& text, size_t& at) {
  const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
  const uint8_t lead = byte(at);
  const int length = lead < 0x80         ? 1
                     : (lead >> 5) == 6  ? 2
                     : (lead >> 4) == 14 ? 3
                     : (lead >> 3) == 30 ? 4
                                         : 0;
  if (length == 0 || at + length > text.size()) return -1;
  long value = length == 1 ? lead : lead & (0x7F >> length);
  for (int i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return -1;
    value = (value << 6) | (byte(at + i) & 0x3F);
  }
  static constexpr long smallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < smallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
    return -1;
  at += length;
  return value;
}

bool fail(std::string& reason, const std::string& text) {
  reason = text;
  return false;
}

std::string characterName(long codePoint) {
  char name[16];
  std::snprintf(name, sizeof name, "U+%04lX", codePoint);
  return name;
}

// One source line as help record bytes (unpadded), or false with the reason.
bool lineBytes(const std::string& line, std::string& bytes, std::string& reason) {
  bool open[MarkCount] = {};
  int visible = 0;
  for (size_t at = 0; at < line.size();) {
    bool marked = false;
    for (size_t m = 0; m < MarkCount && !marked; ++m) {
      if (line.compare(at, 2, Marks[m].text) != 0) continue;
      bytes += Marks[m].switchByte;
      open[m] = !open[m];
      at += 2;
      marked = true;
    }
    if (marked) continue;
    const long codePoint = nextCodePoint(line, at);
    if (codePoint < 0) return fail(reason, "not UTF-8 text");
    // The console's glyphs for control bytes map back to them; none may stand in help text.
    const int byte =
        codePoint < 32 || codePoint == 127 ? -1 : byteForUnicode(static_cast<char32_t>(codePoint));
    if (byte < 32 || byte == 127) {
      return fail(reason, characterName(codePoint) + " has no printable byte in code page 850");
    }
    bytes += static_cast<char>(byte);
    ++visible;
  }
  for (size_t m = 0; m < MarkCount; ++m) {
    if (open[m]) return fail(reason, std::string(Marks[m].text) + " is not closed on its line");
  }
  if (visible > HelpVisibleColumns) {
    return fail(reason, std::to_string(visible) + " visible characters, more than " +
                            std::to_string(HelpVisibleColumns));
  }
  return true;
}

// The source's lines as record bytes.
bool sourceLines(const std::string& source, std::vector<std::string>& lines, std::string& problem) {
  size_t start = 0;
  for (int number = 1; start < source.size(); ++number) {
    size_t end = source.find('\n', start);
    if (end == std::string::npos) end = source.size();
    std::string line = source.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    start = end + 1;
    std::string bytes, reason;
    if (!lineBytes(line, bytes, reason)) {
      problem = "line " + std::to_string(number) + ": " + reason;
      return false;
    }
    lines.push_back(bytes);
  }
  return true;
}

// A code page 850 byte in ASCII HTML.
std::string htmlCharacter(char byte) {
  switch (byte) {
    case '&':
      return "&amp;";
    case '<':
      return "&lt;";
    case '>':
      return "&gt;";
    case '"':
      return "&quot;";
    default:
      break;
  }
  const auto value = static_cast<uint8_t>(byte);
  if (value >= 32 && value < 127) return std::string(1, byte);
  return "&#" + std::to_string(static_cast<uint32_t>(unicodeForByte(value))) + ";";
}

std::string htmlText(const std::string& bytes) {
  std::string html;
  for (char byte : bytes) html += htmlCharacter(byte);
  return html;
}

std::string htmlLine(const std::string& bytes) {
  std::string html;
  for (const HelpRun& run : helpLineRuns(bytes)) {
    if (run.code == "n")
      html += htmlText(run.text);
    else
      html += "<span class=\"" + run.code + "\">" + htmlText(run.text) + "</span>";
  }
  while (!html.empty() && html.back() == ' ') html.pop_back();
  return html;
}

std::string pageTitle(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    std::string shown;
    for (const HelpRun& run : helpLineRuns(line)) shown += run.text;
    const std::string title = withoutOuterBlanks(shown);
    if (!title.empty()) return htmlText(title);
  }
  return "";
}

}  // namespace

bool buildHelpRecords(const std::string& source, int recordLength, std::string& records,
                      std::string& problem) {
  std::vector<std::string> lines;
  if (!sourceLines(source, lines, problem)) return false;
  records.clear();
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].size() > static_cast<size_t>(recordLength)) {
      problem = "line " + std::to_string(i + 1) + ": " + std::to_string(lines[i].size()) +
                " bytes with its switches, more than a record of " + std::to_string(recordLength);
      return false;
    }
    records += lines[i] + std::string(recordLength - lines[i].size(), ' ');
  }
  return true;
}

bool buildHelpPage(const std::string& source, std::string& html, std::string& problem) {
  std::vector<std::string> lines;
  if (!sourceLines(source, lines, problem)) return false;
  const char* const head[] = {"<!DOCTYPE html>", "<html lang=\"ca\">", "<head>",
                              "<meta charset=\"utf-8\">", nullptr};
  html.clear();
  for (int i = 0; head[i]; ++i) html += std::string(head[i]) + "\r\n";
  html += "<title>" + pageTitle(lines) + "</title>\r\n";
  html +=
      "<style>\r\n"
      "body { background: #000080; color: #c0c0c0; margin: 2em; }\r\n"
      "pre { font-family: \"Lucida Console\", \"Consolas\", monospace; font-size: 1.1em; }\r\n"
      ".h { color: #ffffff; font-weight: bold; }\r\n"
      ".u { color: #ffff00; text-decoration: underline; }\r\n"
      ".r { color: #000000; background: #c0c0c0; }\r\n"
      "</style>\r\n"
      "</head>\r\n"
      "<body>\r\n"
      "<pre>\r\n";
  for (const std::string& line : lines) html += htmlLine(line) + "\r\n";
  html += "</pre>\r\n</body>\r\n</html>\r\n";
  return true;
}
