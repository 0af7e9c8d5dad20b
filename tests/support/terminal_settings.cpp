#include "terminal_settings.h"

#include <cstring>

termios shellTerminalSettings(cc_t erase) {
  termios t{};
  t.c_iflag = ICRNL | IXON | IUTF8;
  t.c_oflag = OPOST | ONLCR;
  t.c_cflag = CS8 | CREAD;
  t.c_lflag = ISIG | ICANON | ECHO | ECHOE | ECHOK | IEXTEN | ECHOCTL | ECHOKE;
  const cc_t chars[] = {3, 28, erase, 21, 4, 0, 1, 0, 17, 19, 26, 0, 18, 15, 23, 22};
  std::memcpy(t.c_cc, chars, sizeof chars);
  cfsetispeed(&t, B38400);
  cfsetospeed(&t, B38400);
  return t;
}

bool sameTerminalSettings(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
         a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, NCCS) == 0;
}
