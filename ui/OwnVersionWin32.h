// The version numbers of the running exe, as the version box and "/version" show them.
#pragma once
#include "ui/VersionText.h"

namespace tarnwick {

// Read from the image already in memory: the version functions would bring in VERSION.dll, which Windows
// searches for beside the exe first. All zero where the resource cannot be read.
VersionNumbers OwnVersion();

}  // namespace tarnwick
