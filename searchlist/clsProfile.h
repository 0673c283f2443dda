// clsProfile: one profile (INI) file read and written through the Win32 profile functions.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "searchlist/SearchListFile.h"

namespace tarnwick {

// Texts are the program's ANSI strings; the file is named by a wide path, so that a folder in any script
// works. The wide profile functions keep an ANSI file ANSI: the file's bytes are those the A calls wrote.
class clsProfile final : public ProfileAccess {
 public:
  // The file beside the executable named after it: its directory, its base name and ".ini".
  clsProfile();
  explicit clsProfile(std::wstring fileName);
  ~clsProfile();  // flushes the file, written to or not
  clsProfile(const clsProfile&) = delete;
  clsProfile& operator=(const clsProfile&) = delete;

  std::string GetString(std::string section, std::string key, std::string defaultValue) override;
  std::int32_t GetInt(const std::string& section, const std::string& key, std::int32_t defaultValue);
  std::vector<std::string> GetSectNames() override;
  bool WriteString(std::string section, std::string key, std::string value) override;
  bool DeleteKey(const std::string& section, const std::string& key);
  bool DeleteSection(std::string section) override;
  // Makes the platform write what it holds of the file to disk.
  void Flush();

  const std::wstring& FileName() const { return fileName_; }
  void FileName(std::wstring path) { fileName_ = std::move(path); }

 private:
  // A null argument reaches the platform as a null pointer: that is what deletes and flushes.
  bool Write(const std::string* section, const std::string* key, const std::string* value);
  // A read into a buffer that grows to the read buffer's full size only for a text that needs it.
  std::wstring Read(const std::wstring* section, const std::wstring* key, const std::wstring* defaultValue,
                    std::size_t nulsAtCut);

  std::wstring fileName_;
};

}  // namespace tarnwick
