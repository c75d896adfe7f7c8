#pragma once
// The command-line front end as a library: main() hands over its arguments, tests call RunCli with their own
// streams and read what it printed.
#include <ostream>
#include <string>
#include <vector>

#include "chapter/book.h"

namespace lekto::cli {

// `args` are the arguments after the program name, UTF-8 as the terminal gives them. Output is UTF-8.
// Returns the process exit code: 0 success, 1 nothing found, 2 bad usage.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
// The same with the pages fetched by `fetch` instead of the web request.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, const Fetcher& fetch);

}  // namespace lekto::cli
