// The text rules of the profile reader, kept apart from Windows so they are tested natively.
#include "searchlist/ProfileText.h"

namespace tarnwick {

std::string TrimNull(std::string_view text, int mode) {
  if (mode < 0) {
    std::size_t length = text.size();
    while (length > 0 && text[length - 1] == '\0') --length;
    return std::string(text.substr(0, length));
  }
  return std::string(text.substr(0, text.find('\0')));
}

std::string ProfileValue(std::string_view text) {
  const bool quoted = text.size() >= 2 && (text.front() == '"' || text.front() == '\'') && text.back() == text.front();
  if (!quoted) return std::string(text);
  std::string value(1, '"');
  value.append(text).push_back('"');
  return value;
}

std::vector<std::string> SplitSectionNames(std::string_view buffer, long count) {
  std::vector<std::string> names;
  if (count < 1) return names;
  const std::string list = TrimNull(buffer, -1);
  // A list of nothing but NULs holds no name worth a row.
  if (list.empty()) return names;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = list.find('\0', start);
    names.push_back(list.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return names;
}

}  // namespace tarnwick
