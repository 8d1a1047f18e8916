#pragma once
// Runs a shell command line for the tests and collects what it printed and how it ended.
#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace capturetest {

struct CommandResult {
    int status = -1;     // exit status; -1 when it did not exit normally
    std::string output;  // stdout and stderr together
};

inline CommandResult runCommand(const std::string& command) {
    CommandResult result;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return result;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
    const int status = pclose(pipe);
    if (status != -1 && WIFEXITED(status)) result.status = WEXITSTATUS(status);
    return result;
}

inline std::string shellQuoted(const std::string& text) {
    std::string q = "'";
    for (char c : text) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

}  // namespace capturetest
