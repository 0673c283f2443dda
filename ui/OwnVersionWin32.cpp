// The version numbers of the running exe, read from its own version resource in memory.
#include "ui/OwnVersionWin32.h"

#include <windows.h>

#include <cstring>

namespace tarnwick {

VersionNumbers OwnVersion() {
  VersionNumbers version;
  HMODULE exe = GetModuleHandleA(nullptr);
  HRSRC found = FindResourceA(exe, MAKEINTRESOURCEA(VS_VERSION_INFO), MAKEINTRESOURCEA(16));  // RT_VERSION
  HGLOBAL loaded = found != nullptr ? LoadResource(exe, found) : nullptr;
  const auto* data = static_cast<const unsigned char*>(loaded != nullptr ? LockResource(loaded) : nullptr);
  const DWORD size = found != nullptr ? SizeofResource(exe, found) : 0;
  // VS_VERSIONINFO: three WORDs (length, value length, type), the key "VS_VERSION_INFO" with its NUL,
  // padding to 32 bits, then the VS_FIXEDFILEINFO.
  constexpr std::size_t kKeyChars = sizeof("VS_VERSION_INFO");
  constexpr std::size_t kFixedOffset = (3 * sizeof(WORD) + kKeyChars * sizeof(WCHAR) + 3) & ~std::size_t{3};
  if (data == nullptr || size < kFixedOffset + sizeof(VS_FIXEDFILEINFO)) return version;
  WORD valueLength = 0;
  std::memcpy(&valueLength, data + sizeof(WORD), sizeof(valueLength));
  VS_FIXEDFILEINFO info{};
  std::memcpy(&info, data + kFixedOffset, sizeof(info));
  if (valueLength < sizeof(info) || info.dwSignature != 0xFEEF04BD) return version;
  version.Major = HIWORD(info.dwFileVersionMS);
  version.Minor = LOWORD(info.dwFileVersionMS);
  // The third field: the version is typed once as major.minor.patch and stamped as major,minor,patch,0, so
  // the fourth is always 0 and would show 1.0.1 as "1.0.0".
  version.Revision = HIWORD(info.dwFileVersionLS);
  return version;
}

}  // namespace tarnwick
