#pragma once
// Switches for measuring the engine, not for the program: benchmarks compare the JIT with the interpreter, and
// fuzzing shortens the budget of each run so that its many hopeless patterns end sooner.
#include <chrono>

namespace lekto::regex {

// On by default; the environment variable LEKTO_REGEX_NO_JIT (any value) turns it off at start.
void SetJitEnabled(bool enabled);
bool JitEnabled();

// The fixed part of every run's budget (RunBudget in compiled_pattern.h), 40 ms unless set.
void SetRunBudgetBase(std::chrono::milliseconds base);

}  // namespace lekto::regex
