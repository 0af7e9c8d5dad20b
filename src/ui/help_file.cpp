#include "ui/help_file.h"

#include <algorithm>

#include "platform/files.h"

HelpDocument loadHelpDocument(const std::string& name, int recordLength) {
  HelpDocument document;
  document.recordLength = std::max(recordLength, 1);
  if (auto bytes = readFileBytes(name)) document.bytes = std::move(*bytes);
  return document;
}

int helpLineCount(const HelpDocument& document) {
  const size_t length = document.recordLength;
  const size_t lines = (2 * document.bytes.size() + length) / (2 * length);
  return static_cast<int>(std::min<size_t>(lines, 1'000'000'000));
}

std::string helpRecord(const HelpDocument& document, int line) {
  if (line < 1) return "";
  const size_t start = static_cast<size_t>(line - 1) * document.recordLength;
  if (start >= document.bytes.size()) return "";
  return document.bytes.substr(start, document.recordLength);
}

std::vector<HelpRun> helpLineRuns(const std::string& record) {
  std::vector<HelpRun> runs;
  std::string colour = "n";
  bool highlight = false, underline = false, reverse = false;
  int shown = 0;
  for (char byte : record) {
    if (shown == HelpVisibleColumns) break;
    switch (byte) {
      case HelpHighlightSwitch:
        highlight = !highlight;
        if (!underline) colour = highlight ? "h" : "n";
        continue;
      case HelpUnderlineSwitch:
        underline = !underline;
        colour = underline ? "u" : "n";
        continue;
      case HelpReverseSwitch:
        reverse = !reverse;
        colour = reverse ? "r" : "n";
        continue;
      default:
        break;
    }
    if (runs.empty() || runs.back().code != colour) runs.push_back({colour, ""});
    runs.back().text += byte;
    ++shown;
  }
  return runs;
}
