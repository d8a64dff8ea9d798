#include <iostream>
#include <string>
#include <vector>

#include "commands.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  const int status = usborva::cli::RunTool(args, std::cout, std::cerr);
  std::cout.flush();
  return status;
}
