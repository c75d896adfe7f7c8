#pragma once
// Switches for measuring the engine, not for the program: benchmarks compare the JIT with the interpreter.
namespace lekto::regex {

// On by default; the environment variable LEKTO_REGEX_NO_JIT (any value) turns it off at start.
void SetJitEnabled(bool enabled);
bool JitEnabled();

}  // namespace lekto::regex
