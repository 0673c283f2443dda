// The program's argument string: splitting it into slots, choosing the start mode, and the
// names the program derives from its own path.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarnwick {

// Three argument slots numbered 1 to 3, as the entry uses them.
class ArgSlots {
 public:
  static constexpr int kLower = 1;
  static constexpr int kUpper = 3;
  std::string& operator[](int slot) { return slots_.at(static_cast<std::size_t>(slot - kLower)); }
  const std::string& operator[](int slot) const { return slots_.at(static_cast<std::size_t>(slot - kLower)); }

 private:
  std::array<std::string, kUpper - kLower + 1> slots_;
};

// Appends the tokens of argString to the slots and returns the highest slot that got one (0 for none).
// Blanks and tabs separate; a double quote groups only at the start of a token; scanning stops once
// the third token is complete.
std::int16_t SplitCommandLine(std::string_view argString, ArgSlots& slots);

// The process command line without the program's own name, as Windows parses that name.
std::string_view ArgumentsAfterProgramName(std::string_view commandLine);

// Auto ("-a"), Kill ("-k") and List ("-l") run without a window; Kill and List not even a hidden one.
// Register and Unregister ("-register", "-unregister") add or remove Tarnwick's Event Log source.
enum class StartMode { Plain, Tray, Auto, Kill, List, Register, Unregister };

// "-a" (automatic run), "-i" (notification area), "-k" (end every instance) or "-l" (list only) in slot 1,
// in any letter case; anything else is a plain start.
StartMode ChooseStartMode(const ArgSlots& slots, int tokenCount);

// The directory with exactly one trailing backslash added when it has none.
std::string AppDirectoryFrom(std::string directory);

// File name without directory and extension: "C:\Tools\Tarnwick.exe" gives "Tarnwick".
std::string ExeBaseName(std::string_view path);

}  // namespace tarnwick
