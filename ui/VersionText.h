// The text of the version box: the executable's name as run and its version numbers.
#pragma once
#include <string>
#include <string_view>

namespace tarnwick {

struct VersionNumbers {
  unsigned Major = 0;
  unsigned Minor = 0;
  unsigned Revision = 0;
};

// "<name> version <major>.<minor>.<revision>", the numbers in plain decimal: "Tarnwick version 1.0.0".
std::string VersionText(std::string_view exeName, const VersionNumbers& version);

}  // namespace tarnwick
