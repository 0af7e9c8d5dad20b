// The print program's reading of a damaged print file: the lines are read, the device is
// chosen, the pages are laid out, written as text and shown in the viewer, which is driven
// through its keys.
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "output_device.h"
#include "page_model.h"
#include "platform/memory_console.h"
#include "print_file_reader.h"
#include "text_output.h"
#include "ui/keyboard.h"
#include "viewer.h"

using namespace zideruva;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::vector<PrintFileLine> lines = readPrintFileLines(bytes);
  const PrintDocument document = layoutPages(lines);
  for (const Page& page : document.pages) {
    FUZZ_CHECK(page.length > 0);
    FUZZ_CHECK(page.lines.size() <= static_cast<size_t>(page.length));
  }
  (void)textPages(document);
  const OutputChoice choice = chooseOutput(document.device);
  if (choice.kind == OutputKind::Pdf || choice.kind == OutputKind::Text)
    FUZZ_CHECK(!choice.target.empty());

  MemoryConsole screen(25, 80);
  ViewerState state;
  const int16_t keys[] = {KeyEnd, KeyDown, KeyRight, KeyRight, KeyPgUp, KeyUp,  KeyHome,
                          KeyPgDn, '/',    'A',      KeyEnter, '/',     KeyEnter, KeyLeft};
  drawViewer(screen, state, document);
  for (int16_t key : keys) {
    viewerKey(state, document, key, 25, 80);
    drawViewer(screen, state, document);
  }
  return 0;
}
