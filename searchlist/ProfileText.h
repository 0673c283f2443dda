// The text rule of a profile value: how a value is written so that the profile functions read it back.
#pragma once
#include <string>
#include <string_view>

namespace tarnwick {

// The text to write as a value so that it reads back as it is: the profile functions drop one pair of
// quotes (double or single) around a value, so such a value is written inside one more pair.
std::string ProfileValue(std::string_view text);

}  // namespace tarnwick
