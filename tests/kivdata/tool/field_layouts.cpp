// The tool's field layouts, built into the test program so that it is tested directly.
#include "../../../apps/kivdata/field_layouts.cpp"
