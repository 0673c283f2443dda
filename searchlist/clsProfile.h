// clsProfile: one profile (INI) file read and written through the Win32 profile functions.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "searchlist/SearchListFile.h"

namespace tarnwick {

class clsProfile final : public ProfileAccess {
 public:
  explicit clsProfile(std::string fileName);
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

  const std::string& FileName() const { return fileName_; }
  void FileName(std::string path) { fileName_ = std::move(path); }

 private:
  // A null argument reaches the platform as a null pointer: that is what deletes and flushes.
  bool Write(const char* section, const char* key, const char* value);

  std::string fileName_;
};

}  // namespace tarnwick
