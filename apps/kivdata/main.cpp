// kivdata: the record-file tool (see commands.cpp for the commands).
#include <iostream>
#include <string>
#include <vector>

#include "commands.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);  // the tool writes through iostreams only
  return runKivdata(std::vector<std::string>(argv + 1, argv + argc));
}
