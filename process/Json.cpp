// The JSON encoder: ASCII-only strings and the objects of the run's records.
#include "process/Json.h"

#include <cstdio>

#include "process/LogText.h"

namespace tarnwick {
namespace {

void AppendUnit(std::string& out, std::uint32_t unit) {
  char text[8];
  std::snprintf(text, sizeof(text), "\\u%04X", static_cast<unsigned>(unit));
  out += text;
}

// A surrogate code unit written as UTF-8 (ED A0..BF xx), which a strict decoder rejects; 0 when none.
std::uint32_t EncodedSurrogate(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  if (i + 3 > text.size() || byte(i) != 0xED || byte(i + 1) < 0xA0 || byte(i + 1) > 0xBF ||
      (byte(i + 2) & 0xC0) != 0x80) {
    return 0;
  }
  return 0xD000 | ((byte(i + 1) & 0x3Fu) << 6) | (byte(i + 2) & 0x3Fu);
}

}  // namespace

void AppendJsonString(std::string& out, std::string_view text) {
  out += '"';
  for (std::size_t i = 0; i < text.size();) {
    std::uint32_t c = 0;
    std::size_t length = DecodeUtf8(text, i, c);
    if (length == 0) {
      c = EncodedSurrogate(text, i);
      length = c != 0 ? 3 : 1;
      if (c == 0) c = 0xFFFD;
    }
    i += length;
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else if (c > 0xFFFF) {
      AppendUnit(out, 0xD800 + ((c - 0x10000) >> 10));
      AppendUnit(out, 0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      AppendUnit(out, c);
    }
  }
  out += '"';
}

JsonObject& JsonObject::Key(std::string_view key) {
  if (body_.size() > 1) body_ += ',';
  AppendJsonString(body_, key);
  body_ += ':';
  return *this;
}

JsonObject& JsonObject::Text(std::string_view key, std::string_view value) {
  AppendJsonString(Key(key).body_, value);
  return *this;
}

JsonObject& JsonObject::TextOrNull(std::string_view key, std::string_view value) {
  return value.empty() ? Null(key) : Text(key, value);
}

JsonObject& JsonObject::Number(std::string_view key, long long value) {
  Key(key).body_ += std::to_string(value);
  return *this;
}

JsonObject& JsonObject::Seconds(std::string_view key, std::uint64_t ms) {
  char text[32];
  std::snprintf(text, sizeof(text), "%llu.%03llu", static_cast<unsigned long long>(ms / 1000),
                static_cast<unsigned long long>(ms % 1000));
  Key(key).body_ += text;
  return *this;
}

JsonObject& JsonObject::Bool(std::string_view key, bool value) {
  Key(key).body_ += value ? "true" : "false";
  return *this;
}

JsonObject& JsonObject::Null(std::string_view key) {
  Key(key).body_ += "null";
  return *this;
}

JsonObject& JsonObject::Texts(std::string_view key, const std::vector<std::string>& values) {
  Key(key).body_ += '[';
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i > 0) body_ += ',';
    AppendJsonString(body_, values[i]);
  }
  body_ += ']';
  return *this;
}

JsonObject& JsonObject::Object(std::string_view key, const JsonObject& value) {
  Key(key).body_ += value.Done();
  return *this;
}

}  // namespace tarnwick
