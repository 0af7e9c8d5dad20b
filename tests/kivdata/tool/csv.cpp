// The tool's csv, built into the test program so that it is tested directly.
#include "../../../apps/kivdata/csv.cpp"
