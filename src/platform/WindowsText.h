#pragma once
// Text helpers for the Windows files of the platform and tools (<Name>Windows.cpp only; defined
// in FileAccessWindows.cpp): UTF-8 to the UTF-16 that the wide-character calls take, and the
// system's message for an error code.
#include <string>

namespace platform {

// The UTF-16 form of a UTF-8 string; false (and `wide` empty) when it is not valid UTF-8.
bool toUtf16(const std::string& utf8, std::wstring& wide);
// The UTF-16 form of a UTF-8 string; invalid sequences become U+FFFD.
std::wstring utf16(const std::string& utf8);
// The system's text for an error code from GetLastError, without its line end and full stop.
std::string systemMessage(unsigned long code);

}  // namespace platform
