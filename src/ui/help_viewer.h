// Help for the operator, opened with F1 on the form.
//
// On Windows terminals (terminalKind "WIN") the help is the HTML document AJUDA\<topic>.HTM,
// handed to the application's launcher QOLPEN through the command interpreter COMSPEC names.
// Everywhere else a console viewer pages through AJUDA\<topic>.HLP (see ui/help_file.h) in a
// double-framed window from row 4 to three rows above the bottom of the screen. Both names
// are relative to the current directory (the installation root after start-up).
#pragma once

#include <string>
#include <vector>

// The topic of the general help, opened with F1 from inside any other help.
inline constexpr const char* GeneralHelpTopic = "ZORVADAK";

// Shows the help of the topic (the menu entry's name, or GeneralHelpTopic) and returns when
// the operator has left it.
void showHelp(const std::string& topic);

// The external help's command line, COMSPEC's value followed by " /C QOLPEN AJUDA\" + topic +
// ".HTM", as the words it is started with: the interpreter first, then the rest split on
// blanks. Each word reaches the program as one argument and no shell of ours reads the line,
// so a topic with blanks or shell characters in it cannot add a command. Empty when COMSPEC
// is not set.
std::vector<std::string> externalHelpCommand(const std::string& topic);
