#include "core/session_settings.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

#include "core/ini_file.h"
#include "locale/numeric_picture.h"
#include "locale/packed_digits.h"
#include "platform/files.h"

SessionSettings sessionSettings;

namespace {

const char kDefaultColours[] = "15000700000700070007";

// Adds the directory separator a configured directory lacks. A name ending in ":" (a
// drive) is left alone. Names written the application's way get a backslash; names
// written with "/" only (as on Linux) get a "/".
std::string withDirectoryEnd(std::string dir) {
  if (dir.empty()) return dir;
  char last = dir.back();
  if (last == ':' || last == '\\' || last == '/') return dir;
  bool slashesOnly = dir.find('/') != std::string::npos && dir.find('\\') == std::string::npos;
  dir += slashesOnly ? '/' : '\\';
  return dir;
}

// Cut or blank-padded to three characters.
std::string threeCharacters(std::string text) {
  text.resize(3, ' ');
  return text;
}

// The number at the start of a text, as configuration values are read: leading blanks
// skipped, an optional sign, digits with an optional decimal part and exponent; 0 when
// the text does not start with a number.
double leadingNumber(const std::string& text) {
  size_t i = text.find_first_not_of(" \t");
  if (i == std::string::npos) return 0;
  size_t start = i;
  auto digitAt = [&](size_t at) {
    return at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]));
  };
  if (text[i] == '+' || text[i] == '-') ++i;
  size_t mantissa = i;
  while (digitAt(i)) ++i;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (digitAt(i)) ++i;
  }
  if (i == mantissa || (i == mantissa + 1 && text[mantissa] == '.')) return 0;
  if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
    size_t exponent = i + 1;
    if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-')) ++exponent;
    if (digitAt(exponent)) {
      i = exponent;
      while (digitAt(i)) ++i;
    }
  }
  double value = std::strtod(text.substr(start, i - start).c_str(), nullptr);
  return std::isfinite(value) ? value : 0;
}

// Rounded to the nearest integer and kept to its low 16 bits, as a 16-bit counter holds it.
int16_t asInt16(double value) {
  double wrapped = std::fmod(std::nearbyint(value), 65536.0);
  if (wrapped < 0) wrapped += 65536.0;
  return static_cast<int16_t>(static_cast<uint16_t>(wrapped));
}

void loadColourTable(const std::string& terminalIni) {
  int16_t scheme = asInt16(leadingNumber(readIniValue(terminalIni, "Pantalla", "Seleccio")));
  std::string colours = readIniValue(terminalIni, "Pantalla", "Col" + std::to_string(scheme));
  if (colours.empty()) colours = kDefaultColours;
  for (size_t i = 0; i < 5; ++i) {
    for (size_t j = 0; j < 2; ++j) {
      size_t at = 4 * i + 2 * j;
      std::string pair = at < colours.size() ? colours.substr(at, 2) : "";
      sessionSettings.colourTable[i][j] = asInt16(leadingNumber(pair));
    }
  }
}

std::string terminalKindFromEnvironment() {
  if (!environmentValue("HTTP_USER_AGENT").empty()) return "CGI";
  if (!environmentValue("HTTP_ACCEPT").empty()) return "CGI";
  if (!environmentValue("WINDIR").empty() || !environmentValue("SYSTEMROOT").empty())
    return "WIN";
  return "DOS";
}

}  // namespace

void loadSessionSettings() {
  SessionSettings& s = sessionSettings;
  s.rootDir = environmentValue("KIVROOT");
  s.exeDir = environmentValue("KIVEXE");
  s.tempDir = withDirectoryEnd(environmentValue("KIVTMP"));

  const std::string sessionIni = s.tempDir + "Sessio.ini";
  s.menuTitle = " " + readIniValue(sessionIni, "Menu", "Titol") + " ";
  s.menuName = readIniValue(sessionIni, "Menu", "NomMenu");
  s.terminalDir = readIniValue(sessionIni, "Terminal", "Dir");
  if (s.terminalDir.empty()) {
    // On Linux TERM names the terminal type (xterm-256color); only a TERM that names a
    // directory is the terminal's directory, or every scratch file would go into a
    // relative folder named after the terminal type.
    std::string term = environmentValue("TERM");
    if (!term.empty() && isDirectory(term)) s.terminalDir = term;
  }
  s.terminalDir = withDirectoryEnd(s.terminalDir);
  if (s.tempDir.empty()) s.tempDir = s.terminalDir;

  // Amounts are shown in euros: the alternate currency is the euro, none is active.
  setCurrency("a,E");

  const std::string terminalIni = s.tempDir + "QuonTerm.ini";
  loadColourTable(terminalIni);
  s.sessionDate = packDigits(readIniValue(terminalIni, "Sistema", "Data"));
  s.outputDevice = readIniValue(terminalIni, "Sistema", "Sortida");

  const std::string userIni = s.rootDir + "Quon.ini";
  s.languageCode = threeCharacters(readIniValue(terminalIni, "Sistema", "Idioma"));
  if (s.languageCode == "   ")
    s.languageCode = threeCharacters(readIniValue(userIni, "Usuari", "Idioma"));
  s.terminalKind = terminalKindFromEnvironment();
  s.companyName = readIniValue(userIni, "Empresa", "Nom");
}

void resetSessionSettings() { sessionSettings = SessionSettings{}; }
