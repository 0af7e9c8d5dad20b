// The print program's text output, built into the tests (the program's main is not).
#include "../../../apps/zideruva/text_output.cpp"
