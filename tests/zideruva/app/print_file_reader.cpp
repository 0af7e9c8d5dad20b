// The print program's print file reader, built into the tests (the program's main is not).
#include "../../../apps/zideruva/print_file_reader.cpp"
