// The print program's own sources (all but its main), built into this test program so that
// its parts can be tested one by one.
#include "../../apps/zideruva/failure_notice.cpp"
#include "../../apps/zideruva/output_device.cpp"
#include "../../apps/zideruva/page_model.cpp"
#include "../../apps/zideruva/pdf_output.cpp"
#include "../../apps/zideruva/print_file_reader.cpp"
#include "../../apps/zideruva/printer_output.cpp"
#include "../../apps/zideruva/text_output.cpp"
