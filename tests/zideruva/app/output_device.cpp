// The print program's output device, built into the tests (the program's main is not).
#include "../../../apps/zideruva/output_device.cpp"
