// The one "call, grow, call again" loop: a system call fills a buffer that grows while the call asks for room.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

namespace tarnwick {

// What one call said of the room it was given.
enum class Fill { Done, Grow, Failed };

// Calls `call(data, size)` until it fits: `size` comes in as the room in elements and goes out as the length
// written (Done) or the room needed (Grow; any smaller value doubles the room). The buffer ends at the length
// written; it is left as it was on failure, or once the room would pass `limit`.
template <typename Buffer, typename Call>
[[nodiscard]] bool GrowUntilFits(Buffer& buffer, Call&& call, std::size_t limit = 1 << 20) {
  if (buffer.empty()) buffer.resize(1);
  while (buffer.size() <= limit) {
    std::size_t size = buffer.size();
    const Fill fill = call(buffer.data(), size);
    if (fill == Fill::Failed) return false;
    if (fill == Fill::Done) {
      buffer.resize(std::min(size, buffer.size()));
      return true;
    }
    buffer.resize(std::max(size, buffer.size() * 2));
  }
  return false;
}

// For calls that return the length written, the room needed (or all of the room when the result is cut), or
// 0 on failure: GetModuleFileNameW, GetLongPathNameW, GetFullPathNameW and the like. Empty on failure.
template <typename Call>
std::wstring SizedText(Call&& call) {
  std::wstring text(260, L'\0');
  const auto fill = [&](wchar_t* data, std::size_t& size) {
    const std::size_t given = size;
    size = call(data, static_cast<unsigned long>(given));
    return size == 0 ? Fill::Failed : size < given ? Fill::Done : Fill::Grow;
  };
  return GrowUntilFits(text, fill, 1 << 16) ? text : std::wstring();
}

// For calls that return whether they filled the buffer and set the room they need when it is too small:
// GetTokenInformation, QueryServiceConfigA and the like. Empty on failure. The buffer itself is handed back,
// never a copy: such answers point into it.
template <typename Call>
std::vector<unsigned char> NeededBytes(std::size_t first, Call&& call) {
  std::vector<unsigned char> bytes(first);
  const auto fill = [&](unsigned char* data, std::size_t& size) {
    unsigned long needed = 0;
    if (call(data, static_cast<unsigned long>(size), &needed)) return Fill::Done;
    const bool more = needed > size;
    size = needed;
    return more ? Fill::Grow : Fill::Failed;
  };
  if (!GrowUntilFits(bytes, fill)) bytes.clear();
  return bytes;
}

}  // namespace tarnwick
