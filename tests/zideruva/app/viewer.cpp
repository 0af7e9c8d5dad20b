// The print program's viewer, built into the tests (the program's main is not).
#include "../../../apps/zideruva/viewer.cpp"
