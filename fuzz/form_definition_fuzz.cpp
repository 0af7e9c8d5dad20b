// The form definition loader: a damaged form file is either refused with a message, shown
// in the message window as start-up shows it, or loaded into a model whose fields keep their
// fixed widths, and whose panels are then drawn.
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "platform/memory_console.h"
#include "resources/form_definition.h"
#include "ui/form_engine.h"
#include "ui/message_window.h"
#include "ui/screen.h"
#include "ui/window_stack.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::resetSessionInScratch();
  const std::string path = fuzz::writeScratchFile("FORMS/HORTELIX.KPN", data, size);
  MemoryConsole screen;
  setConsole(&screen);
  resetScreenState();
  resetWindowStack();
  resetFormEngine();

  std::string problem = readFormDefinition(path);
  if (!problem.empty()) {
    FUZZ_CHECK(formModel.panelCount == 0 && formModel.panels.empty());
    if (showMessageWindow(12, problem)) FUZZ_CHECK(windowDepth == 1);
    closeWindow();
    FUZZ_CHECK(windowDepth == 0);
  } else {
    FUZZ_CHECK(formModel.panels.size() == static_cast<size_t>(formModel.panelCount) + 1);
    FUZZ_CHECK(formModel.browseLists.size() ==
               static_cast<size_t>(formModel.browseListCount) + 1);
    for (int16_t panel = 1; panel <= formModel.panelCount; ++panel) {
      const FormPanel& p = formModel.panels[panel];
      for (int16_t field = 1; field <= p.fieldCount; ++field) {
        const FormField* f = formField(panel, field);
        FUZZ_CHECK(f != nullptr);
        FUZZ_CHECK(f->value.size() == static_cast<size_t>(f->width));
      }
      const int16_t depth = windowDepth;
      drawFormPanel(panel);
      while (windowDepth > depth) closeWindow();
    }
  }
  setConsole(nullptr);
  resetWindowStack();
  resetScreenState();
  resetFormModel();
  resetSessionSettings();
  return 0;
}
