// Builds the version box's text.
#include "ui/VersionText.h"

namespace tarnwick {

std::string VersionText(std::string_view exeName, const VersionNumbers& version) {
  std::string text(exeName);
  text += " version ";
  text += std::to_string(version.Major) + "." + std::to_string(version.Minor) + "." + std::to_string(version.Revision);
  return text;
}

}  // namespace tarnwick
