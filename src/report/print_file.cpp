#include "report/print_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cctype>
#include <cstring>

#include "core/session_settings.h"
#include "platform/files.h"

PrintFileState printFileState;

namespace {

// Sign character, digits, one trailing blank.
std::string numberField(int value) {
  std::string field = value < 0 ? "-" : " ";
  field += std::to_string(value < 0 ? -value : value);
  return field + " ";
}

void noteFailure(int error) {
  if (printFileState.failure == 0) printFileState.failure = error ? error : EIO;
}

// One line with its CR LF. A failed write is remembered for closePrintFile; without a file
// (it could not be created) the line is dropped.
void writeLine(const std::string& line) {
  FILE* file = printFileState.printFile;
  if (!file) return;
  std::string bytes = line + "\r\n";
  if (std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) noteFailure(errno);
}

// The file kept for this process alone while the report is written: another process that
// holds it (a print program still reading it) makes the open fail rather than have its
// file cut short under it.
FILE* createExclusive(const std::string& name) {
  int fd = openFileDescriptor(name, O_WRONLY | O_CREAT, 0666);
  if (fd < 0) return nullptr;
  struct stat info;
  bool ok = ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &info) == 0 &&
            (!S_ISREG(info.st_mode) || ::ftruncate(fd, 0) == 0);
  FILE* file = ok ? ::fdopen(fd, "wb") : nullptr;
  if (!file) {
    int error = errno;
    ::close(fd);
    errno = error;
  }
  return file;
}

std::string trimBlanks(const std::string& text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The N code: the magnitude of the number after the N (its integer digits, any sign and
// fraction dropped) and the justification text's first \...\ part, both backslashes included.
std::string numberedCode(const std::string& trimmed, const std::string& setting) {
  size_t at = trimmed.find_first_not_of(' ', 1);
  if (at != std::string::npos && (trimmed[at] == '-' || trimmed[at] == '+')) ++at;
  std::string digits;
  while (at < trimmed.size() && std::isdigit(static_cast<unsigned char>(trimmed[at])))
    digits += trimmed[at++];
  digits.erase(0, digits.find_first_not_of('0'));
  if (digits.empty()) digits = "0";

  std::string path;
  size_t open = setting.find('\\');
  if (open != std::string::npos) {
    size_t close = setting.find('\\', open + 1);
    path = setting.substr(open, close == std::string::npos ? std::string::npos : close - open + 1);
  }
  return "N " + digits + " " + path;
}

std::string justificationCode(const std::string& setting) {
  std::string trimmed = trimBlanks(setting);
  char first = trimmed.empty() ? ' ' : static_cast<char>(std::toupper(
                                           static_cast<unsigned char>(trimmed[0])));
  switch (first) {
    case 'C': return "C";
    case 'D': case 'R': return "D";
    case 'A': case 'B': return "A";
    case 'N': return numberedCode(trimmed, setting);
    default: return "E";
  }
}

}  // namespace

std::string printFileName() { return sessionSettings.tempDir + "zideruva.tmp"; }

bool openPrintFile(const std::string& device) {
  if (printFileState.printFile) closePrintFile();
  printFileState.fileName = printFileName();
  printFileState.failure = 0;
  printFileState.printFile = createExclusive(printFileState.fileName);
  if (!printFileState.printFile) {
    noteFailure(errno);
    return false;
  }
  writeLine("DEVICE" + device);
  return true;
}

bool closePrintFile() {
  FILE* file = printFileState.printFile;
  printFileState.printFile = nullptr;
  if (file) {
    if (std::fflush(file) != 0 || std::ferror(file)) noteFailure(errno);
    if (std::fclose(file) != 0) noteFailure(errno);
  } else if (printFileState.failure == 0) {
    noteFailure(EBADF);  // never opened
  }
  return printFileState.failure == 0;
}

std::string printFileFailureReason() {
  return printFileState.failure ? std::strerror(printFileState.failure) : "";
}

void startPage(int16_t length) {
  writeLine("PAGE" + numberField(length));
  printFileState.pageLength = length;
  printFileState.linesOnPage = 0;
}

void printControl(const std::string& text) { writeLine("*" + text); }

void setJustification(const std::string& setting) { writeLine("JUS" + justificationCode(setting)); }

void printAt(int16_t column, const std::string& text, int16_t advance) {
  std::string shown = text;
  for (char& c : shown) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 32 || byte == 127 || byte == 255) c = ' ';
  }
  if (printFileState.linesOnPage >= printFileState.pageLength)
    startPage(printFileState.pageLength);
  writeLine(numberField(column) + "," + shown + "," + numberField(advance));
  if (advance != 0)
    printFileState.linesOnPage = static_cast<int16_t>(printFileState.linesOnPage + advance);
}

void resetPrintFileState() {
  if (printFileState.printFile) std::fclose(printFileState.printFile);
  printFileState = PrintFileState{};
}
