// The kivdata commands: each with its syntax, its help text and the procedure that runs it.
#pragma once

#include <string>
#include <vector>

#include "command_line.h"

struct Command {
  std::string name;
  std::string synopsis;  // the arguments after the name, for the usage line
  std::string help;      // what it does, its arguments and options
  CommandSyntax syntax;
  int (*run)(const ParsedArguments& arguments);
};

const std::vector<Command>& kivdataCommands();

// The whole tool: the command name first, then its arguments. Returns the exit code.
int runKivdata(const std::vector<std::string>& arguments);

// Writes "kivdata COMMAND: message" to standard error; returns kExitFailure.
int commandFailed(const std::string& command, const std::string& message);
// The same for a usage fault, followed by the command's usage line; returns kExitUsage.
int commandUsage(const std::string& command, const std::string& message);
// Writes a line to standard output (what a command did).
void commandDone(const std::string& message);

int runCreate(const ParsedArguments& arguments);
int runStat(const ParsedArguments& arguments);
int runLoad(const ParsedArguments& arguments);
int runDump(const ParsedArguments& arguments);
int runImport(const ParsedArguments& arguments);
int runExport(const ParsedArguments& arguments);
int runLock(const ParsedArguments& arguments);
int runDemo(const ParsedArguments& arguments);
int runCopy(const ParsedArguments& arguments);
int runInit(const ParsedArguments& arguments);
