#include "output_device.h"

#include <cctype>

namespace zideruva {
namespace {

std::string upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

std::string trimBlanks(const std::string& text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool endsWith(const std::string& text, const std::string& suffix) {
  return text.size() > suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

OutputChoice chooseOutput(const std::string& device) {
  std::string text = trimBlanks(device);
  std::string key = upper(text);
  auto after = [&](size_t prefix) { return trimBlanks(text.substr(prefix)); };

  if (key.empty() || key == "PANTALLA" || key == "CON") return {OutputKind::Viewer, "", false};
  if (key.rfind("PDF:", 0) == 0 && !after(4).empty()) return {OutputKind::Pdf, after(4), false};
  if (key.rfind("TXT:", 0) == 0 && !after(4).empty()) return {OutputKind::Text, after(4), false};
  if (key.rfind("LP:", 0) == 0) return {OutputKind::Printer, after(3), false};
  if (key == "LPT1" || key == "PRN") return {OutputKind::Printer, "", false};
  if (endsWith(key, ".PDF")) return {OutputKind::Pdf, text, false};
  if (endsWith(key, ".TXT")) return {OutputKind::Text, text, false};
  return {OutputKind::Viewer, "", true};
}

}  // namespace zideruva
