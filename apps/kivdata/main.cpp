// kivdata: the record-file tool (see commands.cpp for the commands).
#include <string>
#include <vector>

#include "commands.h"

int main(int argc, char** argv) {
  return runKivdata(std::vector<std::string>(argv + 1, argv + argc));
}
