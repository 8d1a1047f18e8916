#include "Terminal.h"

#include <cstdio>

namespace archivetool {

namespace {

void escapeByte(std::string& out, unsigned char c) {
  static const char* const digits = "0123456789abcdef";
  out += "\\x";
  out += digits[c >> 4];
  out += digits[c & 15];
}

// Length of the well-formed UTF-8 sequence at `p` (at most `left` bytes) whose code point is not
// a C1 control, or 0.
size_t printableUtf8(const unsigned char* p, size_t left) {
  const unsigned char c = p[0];
  size_t length = 0;
  uint32_t cp = 0;
  if (c >= 0xC2 && c <= 0xDF) length = 2, cp = c & 0x1F;
  else if (c >= 0xE0 && c <= 0xEF) length = 3, cp = c & 0x0F;
  else if (c >= 0xF0 && c <= 0xF4) length = 4, cp = c & 0x07;
  else return 0;
  if (length > left) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    cp = cp << 6 | (p[i] & 0x3F);
  }
  const uint32_t least[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < least[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) || cp < 0xA0) return 0;
  return length;
}

std::string escapedWith(const std::string& text, bool slashes) {
  std::string out;
  out.reserve(text.size());
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = p[i];
    if (c == '\\') {
      out += slashes ? "/" : "\\\\";
      ++i;
    } else if (c < 0x20 || c == 0x7F) {
      escapeByte(out, c);
      ++i;
    } else if (c < 0x80) {
      out += char(c);
      ++i;
    } else if (const size_t n = printableUtf8(p + i, text.size() - i)) {
      out.append(text, i, n);
      i += n;
    } else {
      escapeByte(out, c);
      ++i;
    }
  }
  return out;
}

}  // namespace

std::string escaped(const std::string& text) { return escapedWith(text, false); }

std::string shownName(const std::string& stored) {
  return stored.empty() ? "(empty name)" : escapedWith(stored, true);
}

}  // namespace archivetool
