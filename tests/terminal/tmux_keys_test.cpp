// Keys as real terminals send them. The bytes in tests/fixtures/terminal/tmux_keys.txt were
// recorded by running this program's key capture tool (child_modes.cpp) inside tmux and
// typing each key with `tmux send-keys`; the live test repeats the recording whenever tmux
// is installed (KIV_UPDATE_KEY_FIXTURES=1 rewrites the fixture from it).
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "key_events.h"
#include "paths.h"

extern char** environ;

namespace {

// tmux key name -> what the console hands on.
const std::vector<std::pair<std::string, std::string>> kExpected = {
    {"F1", "00 3B"},
    {"F4", "00 3E"},
    {"F5", "00 3F"},
    {"F10", "00 44"},
    {"F11", "00 85"},
    {"F12", "00 86"},
    {"S-F1", "00 3B +shift"},
    {"S-F4", "00 3E +shift"},
    {"S-F5", "00 3F +shift"},
    {"S-F12", "00 86 +shift"},
    {"C-F1", "00 3B +ctrl"},
    {"C-F4", "00 3E +ctrl"},
    {"C-F10", "00 44 +ctrl"},
    {"C-F11", "00 85 +ctrl"},
    {"M-F1", "00 3B +alt"},
    {"M-F4", "00 3E +alt"},
    {"M-F10", "00 44 +alt"},
    {"M-F12", "00 86 +alt"},
    {"C-S-F2", "00 3C +shift +ctrl"},
    {"Up", "00 48"},
    {"Down", "00 50"},
    {"Left", "00 4B"},
    {"Right", "00 4D"},
    {"S-Up", "00 48 +shift"},
    {"C-Left", "00 4B +ctrl"},
    {"C-Right", "00 4D +ctrl"},
    {"M-Left", "00 4B +alt"},
    {"Home", "00 47"},
    {"End", "00 4F"},
    {"C-Home", "00 47 +ctrl"},
    {"IC", "00 52"},
    {"DC", "00 53"},
    {"PPage", "00 49"},
    {"NPage", "00 51"},
    {"M-IC", "00 52 +alt"},
    {"M-End", "00 4F +alt"},
    {"M-Down", "00 50 +alt"},
    {"M-NPage", "00 51 +alt"},
    {"M-Home", "00 47 +alt"},
    {"M-Up", "00 48 +alt"},
    {"M-PPage", "00 49 +alt"},
    {"BTab", "00 0F +shift"},
    {"Enter", "0D"},
    {"Tab", "09"},
    {"BSpace", "08"},
    {"Escape", "1B"},
    {"Space", "20"},
    {"C-c", "03 +ctrl"},
    {"C-v", "16 +ctrl"},
    {"C-y", "19 +ctrl"},
    {"M-x", "00 2D +alt"},
    {"M-c", "00 2E +alt"},
    {"M-e", "00 12 +alt"},
    {"M-f", "00 21 +alt"},
    {"M-X", "00 2D +shift +alt"},
    {"M-1", "00 4F +alt"},
    {"M-0", "00 52 +alt"},
    {"a", "61"},
    {"KP5", "35"},
};
// A bracketed paste of this text (UTF-8), and the typed characters it becomes.
const std::string kPasteName = "paste";
const std::string kPasteText = "Pa\xC3\xB1 \xE2\x82\xAC\t1\n\xE4\xB8\x80x";
const std::string kPasteExpected = "50 | 61 | A4 | 20 | D5 | 09 | 31 | 0D | 78";

std::string fixturePath() { return sourceDir() + "/tests/fixtures/terminal/tmux_keys.txt"; }

std::string toHex(const std::string& bytes) {
  static const char hex[] = "0123456789abcdef";
  std::string out;
  for (char c : bytes) {
    out += hex[uint8_t(c) >> 4];
    out += hex[uint8_t(c) & 15];
  }
  return out;
}

std::string fromHex(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out += char(std::stoi(hex.substr(i, 2), nullptr, 16));
  return out;
}

std::map<std::string, std::string> readFixture() {
  std::map<std::string, std::string> keys;
  std::ifstream in(fixturePath());
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line);
    std::string name, hex;
    words >> name >> hex;
    keys[name] = fromHex(hex);
  }
  return keys;
}

int run(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  std::vector<std::string> copy = args;
  for (std::string& a : copy) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Polls until ready() or about 20 s have passed.
template <typename F>
bool pollFor(F ready) {
  for (int i = 0; i < 2000; ++i) {
    if (ready()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return ready();
}

// Runs the capture tool in a detached tmux session, types each key followed by a byte 01
// as a separator, and returns the bytes received per key.
std::map<std::string, std::string> captureWithTmux(const TempDir& dir) {
  std::string socket = dir.file("tmux.sock"), capture = dir.file("keys.bin");
  std::string self(4096, '\0');
  self.resize(size_t(std::max<ssize_t>(readlink("/proc/self/exe", self.data(), self.size()), 0)));
  std::vector<std::string> tmux = {"tmux", "-S", socket, "-f", "/dev/null"};
  auto tmuxDo = [&](std::vector<std::string> more) {
    std::vector<std::string> args = tmux;
    args.insert(args.end(), more.begin(), more.end());
    return run(args);
  };
  std::map<std::string, std::string> keys;
  if (tmuxDo({"new-session", "-d", "-x", "80", "-y", "25",
              "KIV_KEY_CAPTURE='" + capture + "' exec '" + self + "'"}) != 0) {
    return keys;
  }
  if (!pollFor([&] { return access(capture.c_str(), F_OK) == 0; })) {
    tmuxDo({"kill-server"});
    return keys;
  }
  for (const auto& [name, expected] : kExpected) {
    tmuxDo({"send-keys", name});
    tmuxDo({"send-keys", "-H", "01"});
  }
  tmuxDo({"set-buffer", "--", kPasteText});
  tmuxDo({"paste-buffer", "-p"});
  tmuxDo({"send-keys", "-H", "01"});
  size_t wanted = kExpected.size() + 1;
  std::string bytes;
  pollFor([&] {
    bytes = readFile(capture);
    return size_t(std::count(bytes.begin(), bytes.end(), '\x01')) >= wanted;
  });
  tmuxDo({"kill-server"});
  std::istringstream parts(bytes);
  std::string part;
  for (size_t i = 0; i < kExpected.size() && std::getline(parts, part, '\x01'); ++i) {
    keys[kExpected[i].first] = part;
  }
  if (std::getline(parts, part, '\x01')) keys[kPasteName] = part;
  return keys;
}

void expectDecoded(const std::map<std::string, std::string>& keys) {
  for (const auto& [name, expected] : kExpected) {
    auto found = keys.find(name);
    ASSERT_NE(found, keys.end()) << name << " was not recorded";
    EXPECT_EQ(decodeAll(found->second), expected) << name << ": " << toHex(found->second);
  }
  auto paste = keys.find(kPasteName);
  ASSERT_NE(paste, keys.end());
  EXPECT_EQ(decodeAll(paste->second), kPasteExpected) << toHex(paste->second);
}

}  // namespace

TEST(TmuxKeys, RecordedBytesDecodeToTheirKeys) { expectDecoded(readFixture()); }

TEST(TmuxKeys, WhatTmuxSendsNowDecodesToTheKeys) {
  if (run({"tmux", "-V"}) != 0) GTEST_SKIP() << "tmux is not installed";
  TempDir dir;
  std::map<std::string, std::string> keys = captureWithTmux(dir);
  ASSERT_FALSE(keys.empty()) << "the capture tool did not start in tmux";
  expectDecoded(keys);
  if (std::getenv("KIV_UPDATE_KEY_FIXTURES")) {
    std::ofstream out(fixturePath());
    out << "# Bytes tmux sent for each key (tmux send-keys; paste: paste-buffer -p), in hex.\n"
        << "# Recorded by the key capture tool; regenerate with KIV_UPDATE_KEY_FIXTURES=1.\n";
    for (const auto& [name, expected] : kExpected) out << name << ' ' << toHex(keys[name]) << '\n';
    out << kPasteName << ' ' << toHex(keys[kPasteName]) << '\n';
  }
}
