// Escaping of log fields, which are UTF-8.
#include "process/LogText.h"

#include <cstdio>

namespace tarnwick {
namespace {

void AppendByteEscape(std::string& out, unsigned char byte) {
  char text[8];
  std::snprintf(text, sizeof(text), "\\x%02X", byte);
  out += text;
}

void AppendCodePointEscape(std::string& out, std::uint32_t codePoint) {
  char text[16];
  // Every unsafe code point lies in the first plane.
  std::snprintf(text, sizeof(text), "\\u%04X", static_cast<unsigned>(codePoint));
  out += text;
}

}  // namespace

void AppendEscaped(std::string& out, std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    std::uint32_t codePoint = 0;
    const std::size_t length = DecodeUtf8(text, i, codePoint);
    if (length == 0) {
      AppendByteEscape(out, static_cast<unsigned char>(text[i++]));
      continue;
    }
    if (!IsUnsafeCodePoint(codePoint)) {
      out.append(text.substr(i, length));
    } else if (codePoint < 0x80) {
      AppendByteEscape(out, static_cast<unsigned char>(codePoint));
    } else {
      AppendCodePointEscape(out, codePoint);
    }
    i += length;
  }
}

std::size_t DecodeUtf8(std::string_view text, std::size_t i, std::uint32_t& codePoint) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char first = byte(i);
  std::size_t length = 0;
  std::uint32_t minimum = 0;
  if (first < 0x80) {
    codePoint = first;
    return 1;
  }
  if (first >= 0xC2 && first <= 0xDF) {
    length = 2, codePoint = first & 0x1F, minimum = 0x80;
  } else if (first >= 0xE0 && first <= 0xEF) {
    length = 3, codePoint = first & 0x0F, minimum = 0x800;
  } else if (first >= 0xF0 && first <= 0xF4) {
    length = 4, codePoint = first & 0x07, minimum = 0x10000;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    codePoint = (codePoint << 6) | (byte(i + k) & 0x3F);
  }
  if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) return 0;
  return length;
}

bool IsUnsafeCodePoint(std::uint32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x061C || c == 0x180E || (c >= 0x200B && c <= 0x200F) ||
         (c >= 0x2028 && c <= 0x202E) || (c >= 0x2060 && c <= 0x206F) || c == 0xFEFF || (c >= 0xFFF9 && c <= 0xFFFB);
}

}  // namespace tarnwick
