#include "cli/cli.h"
#include "cli/command.h"

#include <iostream>

int main(int argc, char** argv) {
  const int status = lekto::cli::RunCli(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
  // A browser started for a page must end before the program's static objects go.
  lekto::cli::EndBuiltInBrowser();
  return status;
}
