#pragma once
// What every fuzz target shares: a check that stops the run with a message (a failed property is a crash the
// fuzzer saves), and the input cut into pieces at NUL bytes (texts end at their first NUL anyway, so a NUL is
// free to separate them).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace lekto::fuzz {

inline void Check(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "fuzz property failed: %s\n", what);
  std::abort();
}

inline std::vector<std::string> Pieces(std::string_view input, std::size_t atMost) {
  std::vector<std::string> pieces;
  while (pieces.size() + 1 < atMost) {
    const std::size_t nul = input.find('\0');
    if (nul == std::string_view::npos) break;
    pieces.emplace_back(input.substr(0, nul));
    input.remove_prefix(nul + 1);
  }
  pieces.emplace_back(input);
  return pieces;
}

}  // namespace lekto::fuzz
