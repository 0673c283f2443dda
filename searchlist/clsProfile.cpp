// clsProfile over GetPrivateProfileStringA, GetPrivateProfileIntA and WritePrivateProfileStringA.
#include "searchlist/clsProfile.h"

#include <windows.h>

#include "app/AppWin32.h"
#include "searchlist/ProfileText.h"

namespace tarnwick {

clsProfile::clsProfile() : fileName_(AppDirectory() + ExeName() + ".ini") {}

clsProfile::~clsProfile() { Flush(); }

std::string clsProfile::GetString(std::string Section, std::string Key, std::string Default) {
  std::string buffer(kProfileBufferLength, '\0');
  const DWORD count = GetPrivateProfileStringA(Section.c_str(), Key.c_str(), Default.c_str(), buffer.data(),
                                               static_cast<DWORD>(kProfileBufferTold), fileName_.c_str());
  return count > 0 ? TrimNull(buffer, 0) : std::string();
}

std::int32_t clsProfile::GetInt(const std::string& Section, const std::string& Key, std::int32_t Default) {
  return static_cast<std::int32_t>(GetPrivateProfileIntA(Section.c_str(), Key.c_str(), Default, fileName_.c_str()));
}

std::vector<std::string> clsProfile::GetSectNames() {
  std::string buffer(kProfileBufferLength, '\0');
  const DWORD count = GetPrivateProfileStringA(nullptr, nullptr, nullptr, buffer.data(),
                                               static_cast<DWORD>(kProfileBufferTold), fileName_.c_str());
  return SplitSectionNames(buffer, static_cast<long>(count));
}

bool clsProfile::WriteString(std::string Section, std::string Key, std::string Value) {
  return Write(Section.c_str(), Key.c_str(), Value.c_str());
}

bool clsProfile::DeleteKey(const std::string& Section, const std::string& Key) { return Write(Section.c_str(), Key.c_str(), nullptr); }

bool clsProfile::DeleteSection(std::string Section) { return Write(Section.c_str(), nullptr, nullptr); }

void clsProfile::Flush() { Write(nullptr, nullptr, nullptr); }

bool clsProfile::Write(const char* section, const char* key, const char* value) {
  return WritePrivateProfileStringA(section, key, value, fileName_.c_str()) != FALSE;
}

}  // namespace tarnwick
