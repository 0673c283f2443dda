// JSON text that every decoder reads alike, whatever its code page: ASCII only, one object per line.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

// Appends text (UTF-8) as a JSON string: printable ASCII as it is, every other character as \uXXXX
// (a surrogate pair beyond the BMP). A surrogate written as UTF-8 (a lone one from a Windows name) keeps
// its value as \uD8xx..\uDFxx; a byte that starts no character becomes \uFFFD.
void AppendJsonString(std::string& out, std::string_view text);

// One JSON object, its members in the order added. Keys are the program's own ASCII words.
class JsonObject {
 public:
  JsonObject& Text(std::string_view key, std::string_view value);
  // An empty value is null: the key is there all the same.
  JsonObject& TextOrNull(std::string_view key, std::string_view value);
  JsonObject& Number(std::string_view key, long long value);
  // Milliseconds as seconds with three decimals.
  JsonObject& Seconds(std::string_view key, std::uint64_t ms);
  JsonObject& Bool(std::string_view key, bool value);
  JsonObject& Null(std::string_view key);
  JsonObject& Texts(std::string_view key, const std::vector<std::string>& values);
  JsonObject& Object(std::string_view key, const JsonObject& value);
  std::string Done() const { return body_ + "}"; }

 private:
  JsonObject& Key(std::string_view key);
  std::string body_ = "{";
};

}  // namespace tarnwick
