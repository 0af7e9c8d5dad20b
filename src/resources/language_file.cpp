#include "resources/language_file.h"

#include <fcntl.h>
#include <unistd.h>

#include "core/session_settings.h"
#include "platform/files.h"

namespace {
constexpr int kEndOfData = 0x1A;
}  // namespace

int LanguageFieldReader::peek() {
  int c = std::getc(file_);
  if (c != EOF) std::ungetc(c, file_);
  return c;
}

bool LanguageFieldReader::atEnd() {
  if (ended_) return true;
  int c = peek();
  if (c == EOF || c == kEndOfData) ended_ = true;
  return ended_;
}

void LanguageFieldReader::skipLineFeedAfterReturn() {
  if (peek() == '\n') std::getc(file_);
}

std::string LanguageFieldReader::nextField() {
  while (!atEnd() && peek() == ' ') std::getc(file_);
  if (atEnd()) return "";
  if (peek() == '"') {
    std::getc(file_);
    return quotedField();
  }
  return unquotedField();
}

// Everything up to the closing quote (or the end of the file); then blanks, tabs and line
// feeds are passed over and one comma or line end after them is taken.
std::string LanguageFieldReader::quotedField() {
  std::string field;
  int c;
  while ((c = std::getc(file_)) != EOF && c != '"') field.push_back(static_cast<char>(c));
  if (c == EOF) {
    ended_ = true;
    return field;
  }
  while (!atEnd()) {
    c = peek();
    if (c != ' ' && c != '\t' && c != '\n') break;
    std::getc(file_);
  }
  if (atEnd()) return field;
  c = peek();
  if (c == ',') {
    std::getc(file_);
  } else if (c == '\r') {
    std::getc(file_);
    skipLineFeedAfterReturn();
  }
  return field;
}

// Up to the next comma or carriage return; line feeds and tabs inside are dropped.
std::string LanguageFieldReader::unquotedField() {
  std::string field;
  for (;;) {
    int c = std::getc(file_);
    if (c == EOF || c == kEndOfData) {
      ended_ = true;
      return field;
    }
    if (c == ',') return field;
    if (c == '\r') {
      skipLineFeedAfterReturn();
      return field;
    }
    if (c != '\n' && c != '\t') field.push_back(static_cast<char>(c));
  }
}

std::string translateText(const std::string& catalanText) {
  const std::string& language = sessionSettings.languageCode;
  if (language == "CAT") return catalanText;

  const std::string fileName =
      sessionSettings.rootDir + "LOCALE\\" + sessionSettings.moduleName + ".LNG";
  // A non-Catalan session leaves an empty language file behind for the installer to fill.
  int created = openFileDescriptor(fileName, O_RDONLY | O_CREAT);
  if (created >= 0) ::close(created);

  FILE* file = openFile(fileName, "rb");
  if (!file) return catalanText;
  LanguageFieldReader reader(file);
  std::string result = catalanText;
  while (!reader.atEnd()) {
    std::string key = reader.nextField();
    if (reader.atEnd()) break;  // a key without translations is ignored
    std::string galician = reader.nextField();
    std::string aranese = reader.nextField();
    std::string spanish = reader.nextField();
    if (key != catalanText) continue;
    if (language == "SPA") result = spanish;
    else if (language == "GLG") result = galician;
    else if (language == "OCI") result = aranese;
    break;
  }
  std::fclose(file);
  return result;
}
