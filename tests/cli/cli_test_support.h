#pragma once
// Running lekto-cli in-process with its output captured, for the command-line tests.
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"

namespace lekto::cli::clitest {

struct Outcome {
  int code;
  std::string out;
  std::string err;
};

inline Outcome RunCaptured(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int code = RunCli(args, out, err);
  return {code, out.str(), err.str()};
}

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace lekto::cli::clitest
