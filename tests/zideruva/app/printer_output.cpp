// The print program's printer output, built into the tests (the program's main is not).
#include "../../../apps/zideruva/printer_output.cpp"
