#pragma once
// The archive tool's commands: create, list, test, extract.
#include <ostream>
#include <string>
#include <vector>

namespace archivetool {

// Exit codes.
constexpr int kSuccess = 0;
constexpr int kFailed = 1;  // a member or the archive failed (the message says which and why)
constexpr int kUsage = 2;

// Runs one command line (`args` without the program name). Results and progress go to `out`,
// failures and usage errors to `err`.
int runArchiveTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace archivetool
