#ifdef KIV_HAVE_VTERM

#include "vterm_screen.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vterm.h>

#include <cerrno>
#include <chrono>
#include <map>

#include "platform/code_page.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

int millisecondsLeft(Clock::time_point deadline) {
  auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left < 0 ? 0 : int(left);
}

// ANSI numbers red as bit 0 and blue as bit 2; the console the other way round.
int consoleColour(const VTermColor& colour, bool foreground) {
  if (foreground ? VTERM_COLOR_IS_DEFAULT_FG(&colour) : VTERM_COLOR_IS_DEFAULT_BG(&colour)) {
    return DefaultColour;
  }
  if (!VTERM_COLOR_IS_INDEXED(&colour) || colour.indexed.idx > 15) return OtherColour;
  int ansi = colour.indexed.idx;
  return ((ansi & 1) << 2) | (ansi & 2) | ((ansi & 4) >> 2) | (ansi & 8);
}

}  // namespace

struct VtermScreen::Impl {
  VTerm* vt = nullptr;
  VTermScreen* screen = nullptr;
  VTermScreenCallbacks callbacks{};
};

struct VtermCallbacks {
  static void output(const char* bytes, size_t length, void* user) {
    auto* self = static_cast<VtermScreen*>(user);
    self->sent_.append(bytes, length);
    self->writeToProgram(bytes, length);
  }
  static int property(VTermProp property, VTermValue* value, void* user) {
    auto* self = static_cast<VtermScreen*>(user);
    switch (property) {
      case VTERM_PROP_CURSORVISIBLE: self->cursorVisible_ = value->boolean != 0; break;
      case VTERM_PROP_CURSORSHAPE: self->cursorShape_ = value->number; break;
      case VTERM_PROP_ALTSCREEN: self->altScreen_ = value->boolean != 0; break;
      default: break;
    }
    return 1;
  }
  static int bell(void* user) {
    ++static_cast<VtermScreen*>(user)->bells_;
    return 1;
  }
};

uint8_t VtermCell::byte() const {
  int b = byteForUnicode(character);
  return b < 0 ? uint8_t('?') : uint8_t(b);
}

uint8_t VtermCell::attribute() const {
  int fg = foreground < 0 ? 7 : foreground;
  int bg = background < 0 ? 0 : background;
  return uint8_t(fg + 16 * bg);
}

VtermScreen::VtermScreen(int rows, int columns)
    : rows_(rows), columns_(columns), impl_(std::make_unique<Impl>()) {
  impl_->vt = vterm_new(rows, columns);
  vterm_set_utf8(impl_->vt, 1);
  vterm_output_set_callback(impl_->vt, &VtermCallbacks::output, this);
  impl_->screen = vterm_obtain_screen(impl_->vt);
  impl_->callbacks.settermprop = &VtermCallbacks::property;
  impl_->callbacks.bell = &VtermCallbacks::bell;
  vterm_screen_set_callbacks(impl_->screen, &impl_->callbacks, this);
  vterm_screen_enable_altscreen(impl_->screen, 1);
  vterm_screen_reset(impl_->screen, 1);
}

VtermScreen::~VtermScreen() {
  if (running()) {
    kill(pid_, SIGKILL);
    reap(true);
  }
  if (master_ >= 0) close(master_);
  vterm_free(impl_->vt);
}

bool VtermScreen::start(const std::vector<std::string>& argv,
                        const std::vector<std::string>& environment,
                        const std::string& workDir, const termios* settings) {
  if (argv.empty() || pid_ > 0) return false;
  // Everything the child needs is built before the fork.
  std::map<std::string, std::string> env;
  for (char** e = environ; *e; ++e) {
    std::string entry = *e;
    size_t eq = entry.find('=');
    if (eq != std::string::npos) env[entry.substr(0, eq)] = entry.substr(eq + 1);
  }
  env["TERM"] = "xterm-256color";
  for (const std::string& entry : environment) {
    size_t eq = entry.find('=');
    if (eq == std::string::npos) {
      env.erase(entry);
    } else {
      env[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
  }
  std::vector<std::string> envText;
  for (const auto& [name, value] : env) envText.push_back(name + "=" + value);
  std::vector<char*> envp, args;
  for (std::string& e : envText) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::vector<std::string> argText = argv;
  for (std::string& a : argText) args.push_back(a.data());
  args.push_back(nullptr);

  winsize size{};
  size.ws_row = uint16_t(rows_);
  size.ws_col = uint16_t(columns_);
  int master = -1;
  pid_t pid = forkpty(&master, nullptr, settings, &size);
  if (pid < 0) return false;
  if (pid == 0) {
    if (!workDir.empty() && chdir(workDir.c_str()) != 0) _exit(126);
    execve(args[0], args.data(), envp.data());
    _exit(127);
  }
  master_ = master;
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  fcntl(master_, F_SETFD, FD_CLOEXEC);
  pid_ = pid;
  exited_ = false;
  return true;
}

void VtermScreen::writeToProgram(const char* bytes, size_t length) {
  if (master_ < 0) return;
  while (length > 0) {
    ssize_t n = write(master_, bytes, length);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) {
      // The program is not reading: keep its output moving meanwhile.
      pollfd p{master_, POLLOUT, 0};
      if (poll(&p, 1, 100) <= 0) pump(0);
      continue;
    }
    if (n <= 0) return;
    bytes += n;
    length -= size_t(n);
  }
}

void VtermScreen::sendKeys(const std::string& bytes) { writeToProgram(bytes.data(), bytes.size()); }

void VtermScreen::pressKey(int key, int modifiers) {
  vterm_keyboard_key(impl_->vt, VTermKey(key), VTermModifier(modifiers));
}

void VtermScreen::typeText(const std::u32string& text, int modifiers) {
  for (char32_t c : text) vterm_keyboard_unichar(impl_->vt, uint32_t(c), VTermModifier(modifiers));
}

void VtermScreen::paste(const std::u32string& text) {
  vterm_keyboard_start_paste(impl_->vt);
  typeText(text);
  vterm_keyboard_end_paste(impl_->vt);
}

void VtermScreen::clickMouse(int row, int column, int button, int modifiers) {
  vterm_mouse_move(impl_->vt, row - 1, column - 1, VTermModifier(modifiers));
  vterm_mouse_button(impl_->vt, button, true, VTermModifier(modifiers));
  vterm_mouse_button(impl_->vt, button, false, VTermModifier(modifiers));
}

void VtermScreen::feed(const std::string& bytes) {
  output_ += bytes;
  vterm_input_write(impl_->vt, bytes.data(), bytes.size());
}

bool VtermScreen::pump(int timeoutMs) {
  if (master_ < 0) return false;
  bool got = false;
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    char chunk[8192];
    ssize_t n = read(master_, chunk, sizeof chunk);
    if (n > 0) {
      feed(std::string(chunk, size_t(n)));
      got = true;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    // EAGAIN: nothing yet; EIO or 0: the program's side is closed.
    if (got || n == 0 || (n < 0 && errno != EAGAIN)) break;
    int left = millisecondsLeft(deadline);
    if (left == 0) break;
    pollfd p{master_, POLLIN, 0};
    if (poll(&p, 1, left) <= 0) break;
  }
  return got;
}

void VtermScreen::reap(bool wait) {
  if (pid_ <= 0 || exited_) return;
  int status = 0;
  pid_t r = waitpid(pid_, &status, wait ? 0 : WNOHANG);
  if (r == pid_) {
    exited_ = true;
    status_ = status;
  }
}

bool VtermScreen::waitUntil(const std::function<bool()>& condition, int timeoutMs) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    pump(0);
    if (condition()) return true;
    int left = millisecondsLeft(deadline);
    if (left == 0) return false;
    if (!pump(std::min(left, 50))) reap(false);
  }
}

bool VtermScreen::waitForText(const std::string& text, int timeoutMs) {
  return waitUntil([&] { return contains(text); }, timeoutMs);
}

bool VtermScreen::waitForOutput(const std::string& bytes, int timeoutMs) {
  return waitUntil([&] { return output_.find(bytes) != std::string::npos; }, timeoutMs);
}

int VtermScreen::waitForExit(int timeoutMs) {
  if (pid_ <= 0) return -1;
  bool ended = waitUntil(
      [&] {
        reap(false);
        return exited_;
      },
      timeoutMs);
  pump(0);
  return ended ? status_ : -1;
}

void VtermScreen::signal(int signalNumber) {
  if (running()) kill(pid_, signalNumber);
}

void VtermScreen::resize(int rows, int columns) {
  rows_ = rows;
  columns_ = columns;
  vterm_set_size(impl_->vt, rows, columns);
  if (master_ >= 0) {
    winsize size{};
    size.ws_row = uint16_t(rows);
    size.ws_col = uint16_t(columns);
    ioctl(master_, TIOCSWINSZ, &size);
  }
}

termios VtermScreen::terminalSettings() const {
  termios settings{};
  if (master_ >= 0) tcgetattr(master_, &settings);
  return settings;
}

VtermCell VtermScreen::cell(int row, int column) const {
  VtermCell result;
  VTermScreenCell c{};
  VTermPos pos{row - 1, column - 1};
  if (row < 1 || row > rows_ || column < 1 || column > columns_ ||
      !vterm_screen_get_cell(impl_->screen, pos, &c)) {
    return result;
  }
  result.character = c.chars[0] == 0 ? U' ' : char32_t(c.chars[0]);
  result.foreground = consoleColour(c.fg, true);
  result.background = consoleColour(c.bg, false);
  return result;
}

std::string VtermScreen::rowText(int row) const {
  std::string text;
  for (int column = 1; column <= columns_; ++column) text += char(cell(row, column).byte());
  return text;
}

std::string VtermScreen::screenText() const {
  std::string text;
  for (int row = 1; row <= rows_; ++row) {
    if (row > 1) text += '\n';
    text += rowText(row);
  }
  return text;
}

bool VtermScreen::contains(const std::string& text) const {
  for (int row = 1; row <= rows_; ++row) {
    if (rowText(row).find(text) != std::string::npos) return true;
  }
  return false;
}

void VtermScreen::cursor(int& row, int& column) const {
  VTermPos pos{};
  vterm_state_get_cursorpos(vterm_obtain_state(impl_->vt), &pos);
  row = pos.row + 1;
  column = pos.col + 1;
}

std::string messageWindowText(const VtermScreen& terminal) {
  std::string text;
  for (int row = 1; row <= terminal.rows(); ++row) {
    const std::string line = terminal.rowText(row);
    const size_t left = line.find('\xB3'), right = line.rfind('\xB3');  // the frame's sides
    if (left == std::string::npos || right == left) continue;
    std::string inside = line.substr(left + 1, right - left - 1);
    inside.erase(0, inside.find_first_not_of(' '));
    inside.erase(inside.find_last_not_of(' ') + 1);
    text += (text.empty() ? "" : " ") + inside;
  }
  return text;
}

#endif  // KIV_HAVE_VTERM
