// The tool's code page text, built into the test program so that it is tested directly.
#include "../../../apps/kivdata/code_page_text.cpp"
