// clsProfile over GetPrivateProfileStringA, GetPrivateProfileIntA and WritePrivateProfileStringA.
#include "searchlist/clsProfile.h"

#include <windows.h>

#include "searchlist/ProfileText.h"

namespace tarnwick {

clsProfile::clsProfile(std::string fileName) : fileName_(std::move(fileName)) {}

clsProfile::~clsProfile() { Flush(); }

std::string clsProfile::GetString(std::string section, std::string key, std::string defaultValue) {
  std::string buffer(kProfileBufferLength, '\0');
  const DWORD count = GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultValue.c_str(), buffer.data(),
                                               static_cast<DWORD>(kProfileBufferTold), fileName_.c_str());
  return count > 0 ? TrimNull(buffer, 0) : std::string();
}

std::int32_t clsProfile::GetInt(const std::string& section, const std::string& key, std::int32_t defaultValue) {
  return static_cast<std::int32_t>(
      GetPrivateProfileIntA(section.c_str(), key.c_str(), defaultValue, fileName_.c_str()));
}

std::vector<std::string> clsProfile::GetSectNames() {
  std::string buffer(kProfileBufferLength, '\0');
  const DWORD count = GetPrivateProfileStringA(nullptr, nullptr, nullptr, buffer.data(),
                                               static_cast<DWORD>(kProfileBufferTold), fileName_.c_str());
  return SplitSectionNames(buffer, static_cast<long>(count));
}

bool clsProfile::WriteString(std::string section, std::string key, std::string value) {
  return Write(section.c_str(), key.c_str(), value.c_str());
}

bool clsProfile::DeleteKey(const std::string& section, const std::string& key) {
  return Write(section.c_str(), key.c_str(), nullptr);
}

bool clsProfile::DeleteSection(std::string section) { return Write(section.c_str(), nullptr, nullptr); }

void clsProfile::Flush() { Write(nullptr, nullptr, nullptr); }

bool clsProfile::Write(const char* section, const char* key, const char* value) {
  return WritePrivateProfileStringA(section, key, value, fileName_.c_str()) != FALSE;
}

}  // namespace tarnwick
