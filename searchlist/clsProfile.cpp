// clsProfile over GetPrivateProfileStringW, GetPrivateProfileIntW and WritePrivateProfileStringW.
#include "searchlist/clsProfile.h"

#include <windows.h>

#include "app/AppWin32.h"
#include "common/WideTextWin32.h"
#include "searchlist/ProfileText.h"

namespace tarnwick {
namespace {

constexpr std::size_t kFirstReadLength = 1024;

const wchar_t* OrNull(const std::wstring* text) { return text != nullptr ? text->c_str() : nullptr; }

}  // namespace

clsProfile::clsProfile() : fileName_(AppDirectory() + ExeBaseNameWide() + L".ini") {}

clsProfile::clsProfile(std::wstring fileName) : fileName_(std::move(fileName)) {}

clsProfile::~clsProfile() { Flush(); }

std::wstring clsProfile::Read(const std::wstring* section, const std::wstring* key, const std::wstring* defaultValue,
                              std::size_t nulsAtCut) {
  // The platform tells a cut text by filling the buffer up to its last nulsAtCut characters.
  for (std::size_t length = kFirstReadLength;; length = kProfileBufferLength) {
    std::wstring buffer(length, L'\0');
    const DWORD told = static_cast<DWORD>(length - 1);
    const DWORD count = GetPrivateProfileStringW(OrNull(section), OrNull(key), OrNull(defaultValue), buffer.data(),
                                                 told, fileName_.c_str());
    if (count + nulsAtCut < told || length == kProfileBufferLength) {
      buffer.resize(count);
      return buffer;
    }
  }
}

std::string clsProfile::GetString(std::string section, std::string key, std::string defaultValue) {
  const std::wstring s = WideFromAnsi(section), k = WideFromAnsi(key), d = WideFromAnsi(defaultValue);
  const std::wstring value = Read(&s, &k, &d, 1);
  return AnsiFromWide(value.substr(0, value.find(L'\0')));
}

std::int32_t clsProfile::GetInt(const std::string& section, const std::string& key, std::int32_t defaultValue) {
  return static_cast<std::int32_t>(
      GetPrivateProfileIntW(WideFromAnsi(section).c_str(), WideFromAnsi(key).c_str(), defaultValue, fileName_.c_str()));
}

std::vector<std::string> clsProfile::GetSectNames() {
  const std::wstring list = Read(nullptr, nullptr, nullptr, 2);
  const std::string names = AnsiFromWide(list);
  // The list's closing NULs are not counted; those inside it separate the names.
  return SplitSectionNames(names + '\0', static_cast<long>(names.size()));
}

bool clsProfile::WriteString(std::string section, std::string key, std::string value) {
  return Write(&section, &key, &value);
}

bool clsProfile::DeleteKey(const std::string& section, const std::string& key) {
  return Write(&section, &key, nullptr);
}

bool clsProfile::DeleteSection(std::string section) { return Write(&section, nullptr, nullptr); }

void clsProfile::Flush() { Write(nullptr, nullptr, nullptr); }

bool clsProfile::Write(const std::string* section, const std::string* key, const std::string* value) {
  const std::wstring s = section ? WideFromAnsi(*section) : std::wstring();
  const std::wstring k = key ? WideFromAnsi(*key) : std::wstring();
  const std::wstring v = value ? WideFromAnsi(*value) : std::wstring();
  return WritePrivateProfileStringW(section ? s.c_str() : nullptr, key ? k.c_str() : nullptr,
                                    value ? v.c_str() : nullptr, fileName_.c_str()) != FALSE;
}

}  // namespace tarnwick
