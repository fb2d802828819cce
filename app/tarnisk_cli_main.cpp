// tarnisk-cli: the batch front end.

#include <unistd.h>

#include <iostream>

#include "app/cli.h"

int main(int argc, char** argv) {
  return tarnisk::RunCli(argc, argv, std::cout, std::cerr, isatty(STDERR_FILENO) == 1);
}
