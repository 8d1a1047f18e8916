#pragma once
// What vxar shows on a terminal and asks of it: names and paths with their control characters
// escaped, and a pass phrase read without echo.
#include <optional>
#include <string>

namespace archivetool {

// `text` with every byte that a terminal could take as a control (C0 controls, DEL, bytes that
// are not well-formed UTF-8, and the C1 controls U+0080 to U+009F) written as \xNN; a backslash
// is written as "\\". Well-formed UTF-8 stays as it is.
std::string escaped(const std::string& text);

// A member name as stored ('\' between folders) as vxar shows it: '/' between folders, escaped;
// "(empty name)" for an empty one.
std::string shownName(const std::string& stored);

// Shows `prompt` on standard error and reads one line from standard input with echo off; the
// terminal's settings come back afterwards, also when the read is interrupted by Ctrl+C.
// Nothing (with `error` set) when standard input is not a terminal or the read fails.
std::optional<std::string> readPassPhrase(const std::string& prompt, std::string& error);

}  // namespace archivetool
