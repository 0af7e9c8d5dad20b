// Where the listing goes, by the device text of the print file (compared without regard to
// case, blanks around it ignored):
//   empty, PANTALLA, CON              the on-screen viewer
//   PDF:<path>, or a path ending .pdf  a PDF file
//   TXT:<path>, or a path ending .txt  a UTF-8 text file
//   LPT1, PRN                         the default printer, through lp
//   LP:<printer>                      that printer (the default one when no name follows)
//   anything else                     the viewer, saying the device is unknown
#pragma once

#include <string>

namespace zideruva {

enum class OutputKind { Viewer, Pdf, Text, Printer };

struct OutputChoice {
  OutputKind kind = OutputKind::Viewer;
  std::string target;           // file path, or printer name (empty: the default printer)
  bool unknownDevice = false;   // Viewer chosen because the device was not recognised
};

OutputChoice chooseOutput(const std::string& device);

}  // namespace zideruva
