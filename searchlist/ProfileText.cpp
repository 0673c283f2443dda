// The profile value's quoting rule, kept apart from Windows so it is tested natively.
#include "searchlist/ProfileText.h"

namespace tarnwick {

std::string ProfileValue(std::string_view text) {
  const bool quoted = text.size() >= 2 && (text.front() == '"' || text.front() == '\'') && text.back() == text.front();
  if (!quoted) return std::string(text);
  std::string value(1, '"');
  value.append(text).push_back('"');
  return value;
}

}  // namespace tarnwick
