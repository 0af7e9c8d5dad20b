// The print program's page model, built into the tests (the program's main is not).
#include "../../../apps/zideruva/page_model.cpp"
