#include "platform/console.h"

#include "platform/memory_console.h"

namespace {
Console* installed = nullptr;

Console& defaultConsole() {
  static MemoryConsole memory(25, 80);
  return memory;
}
}  // namespace

Console& console() { return installed ? *installed : defaultConsole(); }

void setConsole(Console* replacement) { installed = replacement; }
