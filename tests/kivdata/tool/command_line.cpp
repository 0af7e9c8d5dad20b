// The tool's command line, built into the test program so that it is tested directly.
#include "../../../apps/kivdata/command_line.cpp"
