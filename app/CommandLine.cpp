// Splits the argument string with the three-state scanner and picks the start mode from slot 1.
#include "app/CommandLine.h"

namespace tarnwick {
namespace {

bool IsSeparator(char c) { return c == ' ' || c == '\t'; }

std::string AsciiLowerCase(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

}  // namespace

std::int16_t SplitCommandLine(std::string_view argString, ArgSlots& slots) {
  enum State { kBetween, kUnquoted, kQuoted };
  int slot = argString.empty() ? 0 : ArgSlots::kLower;
  State state = kBetween;
  bool stopped = false;

  // Ends the current token; false when it was the last slot and scanning must stop.
  auto endToken = [&] {
    if (slot == ArgSlots::kUpper) return false;
    ++slot;
    state = kBetween;
    return true;
  };

  for (char c : argString) {
    switch (state) {
      case kBetween:
        if (c == '"') {
          state = kQuoted;
        } else if (!IsSeparator(c)) {
          state = kUnquoted;
          slots[slot] += c;
        }
        break;
      case kUnquoted:
        if (IsSeparator(c)) {
          stopped = !endToken();
        } else {
          slots[slot] += c;
        }
        break;
      case kQuoted:
        if (c == '"') {
          stopped = !endToken();
        } else {
          slots[slot] += c;
        }
        break;
    }
    if (stopped) break;
  }
  // Between tokens the slot already points past the last token.
  if (!stopped && state == kBetween) --slot;
  return static_cast<std::int16_t>(slot > 0 ? slot : 0);
}

std::string_view ArgumentsAfterProgramName(std::string_view commandLine) {
  std::size_t i = 0;
  if (!commandLine.empty() && commandLine[0] == '"') {
    i = commandLine.find('"', 1);
    i = (i == std::string_view::npos) ? commandLine.size() : i + 1;
  } else {
    while (i < commandLine.size() && !IsSeparator(commandLine[i])) ++i;
  }
  while (i < commandLine.size() && IsSeparator(commandLine[i])) ++i;
  return commandLine.substr(i);
}

StartMode ChooseStartMode(const ArgSlots& slots, int tokenCount) {
  if (tokenCount < 1) return StartMode::Plain;
  const std::string first = AsciiLowerCase(slots[1]);
  if (first == "-a") return StartMode::Auto;
  if (first == "-i") return StartMode::Tray;
  if (first == "-k") return StartMode::Kill;
  if (first == "-l") return StartMode::List;
  if (first == "-register") return StartMode::Register;
  if (first == "-unregister") return StartMode::Unregister;
  return StartMode::Plain;
}

std::string AppDirectoryFrom(std::string directory) {
  if (directory.empty() || directory.back() != '\\') directory += '\\';
  return directory;
}

std::string ExeBaseName(std::string_view path) {
  const std::size_t slash = path.find_last_of("\\/");
  std::string_view name = (slash == std::string_view::npos) ? path : path.substr(slash + 1);
  const std::size_t dot = name.rfind('.');
  if (dot != std::string_view::npos) name = name.substr(0, dot);
  return std::string(name);
}

}  // namespace tarnwick
