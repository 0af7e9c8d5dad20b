#include "platform/clock.h"

#include <chrono>
#include <random>
#include <thread>

#include "platform/console.h"

namespace {

std::function<void(int)> installedSleeper;
std::function<double()> installedRandomSource;

double realRandomUnit() {
  static std::mt19937_64 generator{std::random_device{}()};
  return std::uniform_real_distribution<double>(0.0, 1.0)(generator);
}

}  // namespace

void sleepMilliseconds(int milliseconds) {
  if (installedSleeper) {
    installedSleeper(milliseconds);
    return;
  }
  console().flush();  // the operator sees the screen as it is while the module waits
  if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

double randomUnit() { return installedRandomSource ? installedRandomSource() : realRandomUnit(); }

void setSleeper(std::function<void(int)> sleeper) { installedSleeper = std::move(sleeper); }

void setRandomSource(std::function<double()> source) { installedRandomSource = std::move(source); }
