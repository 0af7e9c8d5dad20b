// The print program's failure notice, built into the tests (the program's main is not).
#include "../../../apps/zideruva/failure_notice.cpp"
