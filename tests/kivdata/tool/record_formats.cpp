// The tool's record formats, built into the test program so that it is tested directly.
#include "../../../apps/kivdata/record_formats.cpp"
