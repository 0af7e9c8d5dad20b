// ZIDERUVA, the print program: shows, saves or prints the session's print file.
//
// It takes no arguments. The print file is the session directory's zideruva.tmp, found as the
// module finds it (KIVTMP, else the terminal directory of Sessio.ini, else TERM); its first
// line names the device. Exit code 0 when the listing reached its device, 1 otherwise.
#include <cerrno>
#include <cstring>
#include <string>

#include "core/session_settings.h"
#include "failure_notice.h"
#include "output_device.h"
#include "page_model.h"
#include "pdf_output.h"
#include "platform/files.h"
#include "print_file_reader.h"
#include "printer_output.h"
#include "text_output.h"
#include "viewer.h"

using namespace zideruva;

namespace {

bool deliver(const PrintDocument& document, const OutputChoice& choice) {
  std::string error;
  switch (choice.kind) {
    case OutputKind::Text:
      if (writeTextOutput(document, choice.target, error)) return true;
      reportFailure("No s'ha pogut escriure " + choice.target + ": " + error);
      return false;
    case OutputKind::Pdf:
      if (writePdfOutput(document, choice.target, error)) return true;
      reportFailure("No s'ha pogut escriure " + choice.target + ": " + error);
      return false;
    case OutputKind::Printer:
      if (printWithLp(document, choice.target, sessionSettings.tempDir, error)) return true;
      reportFailure("No s'ha pogut imprimir: " + error);
      return false;
    case OutputKind::Viewer:
      return runViewer(document, choice.unknownDevice);
  }
  return false;
}

}  // namespace

int main() {
  loadSessionSettings();
  std::string name = sessionSettings.tempDir + "zideruva.tmp";
  // Far above any listing (some 2.5 million lines), and a print file linked to a device
  // without end is refused before it takes the machine's memory.
  constexpr size_t MaxPrintFileBytes = size_t{256} << 20;
  std::optional<std::string> bytes = readFileBytes(name, MaxPrintFileBytes);
  if (!bytes) {
    reportFailure("No es pot llegir el fitxer d'impressi\xA2 " + name + ": " +
                  std::strerror(errno));
    return 1;
  }
  PrintDocument document = layoutPages(readPrintFileLines(*bytes));
  return deliver(document, chooseOutput(document.device)) ? 0 : 1;
}
