#include "platform/console.h"

#include "platform/memory_console.h"

namespace {
Console* installed = nullptr;

Console& defaultConsole() {
  static MemoryConsole memory(25, 80);
  return memory;
}
}  // namespace

uint8_t attributeWithColours(uint8_t attribute, int16_t foreground, int16_t background) {
  uint8_t fg = attribute & 0x0F, bg = attribute >> 4;
  if (foreground >= 0 && foreground < 16) fg = static_cast<uint8_t>(foreground);
  if (background >= 0 && background < 16) bg = static_cast<uint8_t>(background);
  return static_cast<uint8_t>(fg + 16 * bg);
}

Console& console() { return installed ? *installed : defaultConsole(); }

void setConsole(Console* replacement) { installed = replacement; }
