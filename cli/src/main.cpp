// tessel-cli: the radio configurator without windows.
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli_loop.h"
#include "cli/commands.h"

int main(int argc, char** argv) {
  // Before any thread starts, so that only the signal watcher takes them.
  tessel::cli::SignalWatch::blockSignals();
  std::vector<std::string> args(argv + 1, argv + argc);
  return tessel::cli::runCli(args, std::cout, std::cerr);
}
