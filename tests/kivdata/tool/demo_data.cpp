// The tool's demo data, built into the test program so that it is tested directly.
#include "../../../apps/kivdata/demo_data.cpp"
