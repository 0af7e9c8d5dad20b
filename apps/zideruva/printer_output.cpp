#include "printer_output.h"

#include <vector>

#include "pdf_output.h"
#include "platform/files.h"
#include "platform/process.h"
#include "text_output.h"

namespace zideruva {
namespace {

// Runs lp on the file; false with the reason when it does not accept it.
bool sendToLp(const std::string& lp, const std::string& printer, const std::string& file,
              std::string& error) {
  std::vector<std::string> arguments;
  if (!printer.empty()) arguments = {"-d", printer};
  arguments.push_back(resolvePath(file));
  ProgramResult result = runProgram(lp, arguments);
  if (result.exitCode == 0) return true;
  error = result.started() ? "lp ha acabat amb el codi " + std::to_string(result.exitCode)
                           : "no s'ha pogut executar " + lp;
  return false;
}

}  // namespace

bool printWithLp(const PrintDocument& document, const std::string& printer,
                 const std::string& workDir, std::string& error) {
  std::string lp = findProgramOnPath("lp");
  if (lp.empty()) {
    error = "no s'ha trobat l'ordre lp per imprimir";
    return false;
  }
  std::string pdfFile = workDir + "zideruva-lp.pdf";
  std::string pdfError;
  bool printed = writePdfOutput(document, pdfFile, pdfError) &&
                 sendToLp(lp, printer, pdfFile, pdfError);
  removeFile(pdfFile);
  if (printed) return true;

  std::string textFile = workDir + "zideruva-lp.txt";
  printed = writeTextOutput(document, textFile, error) && sendToLp(lp, printer, textFile, error);
  removeFile(textFile);
  return printed;
}

}  // namespace zideruva
