// The vacant-apartment listing module. It takes no arguments: everything it needs comes from
// the environment and the installation's configuration files.
#include "core/startup.h"

int main() { return runModule(); }
