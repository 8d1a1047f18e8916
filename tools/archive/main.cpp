// vxar: makes, lists, tests and extracts the data archives the program reads.
#include <iostream>

#include "ArchiveCommands.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  return archivetool::runArchiveTool(std::vector<std::string>(argv + 1, argv + argc), std::cout,
                                     std::cerr);
}
