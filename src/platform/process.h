// Starting another program and waiting for it.
//
// The program gets this process's environment and current directory and only the standard
// input, output and error; nothing else is inherited. The terminal is given back to it while
// it runs (the console is flushed and suspended, and resumed with a full repaint after it
// ends), and the record manager's read snapshot is ended first so that a long wait does not
// hold up other processes. The wait has no time limit. While the program runs, this process
// ignores the terminal's interrupt and quit keys (Ctrl+C belongs to the program).
#pragma once

#include <string>
#include <vector>

// Result of runProgram: the program's exit code (128 + signal number when a signal ended it),
// or -1 when it could not be started (startError then holds the errno).
struct ProgramResult {
  int exitCode = -1;
  int startError = 0;
  bool started() const { return exitCode >= 0; }
};

// Runs the program at path (a module-style name, resolved through the path layer) with no
// arguments; argv[0] is the path itself.
ProgramResult runProgram(const std::string& path);
// The same with arguments (argv[1] onwards).
ProgramResult runProgram(const std::string& path, const std::vector<std::string>& arguments);

// The full name of a program found on PATH (as the shell would find it), or empty.
std::string findProgramOnPath(const std::string& name);
