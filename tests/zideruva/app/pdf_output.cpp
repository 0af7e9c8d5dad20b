// The print program's pdf output, built into the tests (the program's main is not).
#include "../../../apps/zideruva/pdf_output.cpp"
