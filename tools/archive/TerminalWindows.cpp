// The pass phrase on a Windows console: echo off through the console's mode, restored on Ctrl+C
// as well; read as UTF-16 and handed on in UTF-8, the bytes a UTF-8 terminal on Unix gives.
#include <windows.h>

#include <cstdio>

#include "Terminal.h"

namespace archivetool {

namespace {

// The console's input and its mode while the pass phrase is read, for the Ctrl+C handler.
HANDLE consoleInput = nullptr;
DWORD savedMode = 0;
volatile LONG echoOff = 0;

// Puts the echo back; FALSE lets the default handler end the process, as Ctrl+C does elsewhere.
BOOL WINAPI restoreOnBreak(DWORD) {
  if (echoOff) SetConsoleMode(consoleInput, savedMode);
  return FALSE;
}

std::string toUtf8(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int length = static_cast<int>(wide.size());
  const int count = WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  if (count <= 0) return {};
  std::string text(static_cast<std::size_t>(count), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, &text[0], count, nullptr, nullptr);
  return text;
}

}  // namespace

std::optional<std::string> readPassPhrase(const std::string& prompt, std::string& error) {
  consoleInput = GetStdHandle(STD_INPUT_HANDLE);
  if (consoleInput == nullptr || consoleInput == INVALID_HANDLE_VALUE || !GetConsoleMode(consoleInput, &savedMode)) {
    error = "standard input is not a terminal";
    return std::nullopt;
  }
  SetConsoleCtrlHandler(restoreOnBreak, TRUE);
  echoOff = 1;
  SetConsoleMode(consoleInput, (savedMode | ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT) & ~DWORD(ENABLE_ECHO_INPUT));
  std::fputs(prompt.c_str(), stderr);
  std::fflush(stderr);
  std::wstring line;
  bool ended = false;
  while (!ended) {
    wchar_t chunk[256];
    DWORD got = 0;
    if (!ReadConsoleW(consoleInput, chunk, 256, &got, nullptr) || got == 0) break;
    for (DWORD i = 0; i < got && !ended; ++i) {
      if (chunk[i] == L'\r' || chunk[i] == L'\n')
        ended = true;
      else
        line += chunk[i];
    }
  }
  SetConsoleMode(consoleInput, savedMode);
  echoOff = 0;
  SetConsoleCtrlHandler(restoreOnBreak, FALSE);
  std::fputc('\n', stderr);  // the Enter that ended the line was not echoed
  if (!ended && line.empty()) {
    error = "no pass phrase was typed";
    return std::nullopt;
  }
  return toUtf8(line);
}

}  // namespace archivetool
