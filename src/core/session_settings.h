// The session's settings: directories, language, colours, output device, session date.
// Filled once at start-up by loadSessionSettings from the environment and the INI files;
// read-only afterwards.
#pragma once

#include <array>
#include <cstdint>
#include <string>

struct SessionSettings {
  std::string rootDir;      // KIVROOT exactly as set (ends with "\" or "/")
  std::string exeDir;       // KIVEXE exactly as set
  std::string tempDir;      // session work directory, ending with "\" or ":" unless empty
  std::string terminalDir;  // terminal directory, ending with "\" or ":" unless empty
  std::string menuTitle;    // " " + configured title + " "
  std::string menuName;     // help topic of the calling menu entry
  // colourTable[i][0] foreground, colourTable[i][1] background of colour i.
  std::array<std::array<int16_t, 2>, 5> colourTable{};
  std::string sessionDate;   // packed digits (4 bytes for YYYYMMDD)
  std::string outputDevice;  // passed unchanged to the print file
  std::string languageCode = "   ";  // "CAT", "SPA", "GLG", "OCI" or anything else
  std::string terminalKind = "DOS";  // "CGI", "WIN" or "DOS"
  std::string moduleName;            // "HORTELIX", set by start-up
  std::string companyName;           // Quon.ini [Empresa] Nom
};

extern SessionSettings sessionSettings;

// Reads the environment and the INI files into sessionSettings (all but moduleName).
void loadSessionSettings();
// Back to the start state (tests).
void resetSessionSettings();
