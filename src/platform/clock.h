// Sleeping and random numbers, replaceable so that tests run the module's waits without
// waiting.
#pragma once

#include <functional>

// Sleeps for the given milliseconds (through the installed sleeper).
void sleepMilliseconds(int milliseconds);
// A uniform random number in [0, 1) (through the installed source).
double randomUnit();

// Installs replacements; an empty function goes back to the real one.
void setSleeper(std::function<void(int)> sleeper);
void setRandomSource(std::function<double()> source);
