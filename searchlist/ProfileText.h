// The text rules of the profile reader: the read buffer's sizes, NUL trimming and the section-name list.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

// A read buffer of this many NULs is told one character less, so a NUL always follows what was written.
inline constexpr std::size_t kProfileBufferLength = 200000;
inline constexpr std::size_t kProfileBufferTold = kProfileBufferLength - 1;

// mode 0 (or above): the text before its first NUL; below 0: the text without its trailing NULs.
std::string TrimNull(std::string_view text, int mode);

// The text to write as a value so that it reads back as it is: the profile functions drop one pair of
// quotes (double or single) around a value, so such a value is written inside one more pair.
std::string ProfileValue(std::string_view text);

// The names in a section-name buffer the platform filled, reporting `count` characters: no names
// for a count below 1, otherwise the buffer without its trailing NULs split at every NUL.
std::vector<std::string> SplitSectionNames(std::string_view buffer, long count);

}  // namespace tarnwick
