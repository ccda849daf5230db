// tessel-cli: the radio configurator without windows.
#include <iostream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "platform/console.h"

int main(int argc, char** argv) {
  // Before any thread starts, so that only the interrupt watch takes Ctrl+C.
  tessel::platform::prepareConsole();
  return tessel::cli::runCli(tessel::platform::utf8Arguments(argc, argv), std::cout, std::cerr);
}
