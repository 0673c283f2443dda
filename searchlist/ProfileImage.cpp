// The profile functions' reading and writing rules over a file held in memory.
#include "searchlist/ProfileImage.h"

#include "common/Text.h"

namespace tarnwick {
namespace {

// The profile functions' blanks: the C locale's spaces and the end-of-file mark ^Z.
bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r') || c == '\x1a'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// A NUL inside a line ends the text there, as the platform's strings do.
std::string UpToNul(std::string_view text) { return std::string(text.substr(0, text.find('\0'))); }

std::string KeyOf(std::string_view name) { return UpperCase(name); }

}  // namespace

ProfileImage ProfileImage::Parse(std::string_view bytes, std::size_t maxSections) {
  ProfileImage image;
  image.sections_.push_back({});  // keys before the first section belong to a nameless one
  std::size_t named = 0;
  bool skipping = false;  // inside a section past the bound
  std::size_t next = 0;
  while (next < bytes.size()) {
    const std::size_t start = next;
    // A CR alone ends a line as an LF does.
    const std::size_t end = bytes.find_first_of("\r\n", start);
    next = (end == std::string_view::npos) ? bytes.size() : end + 1;
    const std::string_view line = Trim(bytes.substr(start, next - start));
    if (line.empty()) continue;
    if (line.front() == '[') {
      const std::size_t close = line.rfind(']');
      if (close != std::string_view::npos && close > 0) {
        // Blanks inside the brackets go too: "[ sp.exe ]" is the section "sp.exe".
        std::string name = UpToNul(Trim(line.substr(1, close - 1)));
        skipping = !name.empty() && named >= maxSections;
        if (skipping) {
          ++image.sectionsLeftOut_;
          continue;
        }
        if (!name.empty()) ++named;
        image.sections_.push_back({std::move(name), {}});
        image.Index(image.sections_.size() - 1);
        continue;
      }
    }
    if (skipping) continue;
    Key key;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      key.name = UpToNul(line);
    } else {
      key.name = UpToNul(Trim(line.substr(0, equals)));
      key.value = UpToNul(Trim(line.substr(equals + 1)));
    }
    image.sections_.back().keys.push_back(std::move(key));
  }
  return image;
}

void ProfileImage::Index(std::size_t position) { firstOfName_.try_emplace(KeyOf(sections_[position].name), position); }

ProfileImage::Section* ProfileImage::Find(std::string_view name) {
  const auto found = firstOfName_.find(KeyOf(Trim(name)));
  return found == firstOfName_.end() ? nullptr : &sections_[found->second];
}

std::vector<std::string> ProfileImage::GetSectNames() {
  std::vector<std::string> names;
  for (const Section& section : sections_) {
    if (!section.name.empty()) names.push_back(section.name);
  }
  return names;
}

std::string ProfileImage::GetString(std::string section, std::string key, std::string defaultValue) {
  const Section* found = Find(section);
  if (found == nullptr) return defaultValue;
  const std::string wanted = KeyOf(Trim(key));
  for (const Key& k : found->keys) {
    if (KeyOf(k.name) != wanted) continue;
    if (!k.value) return defaultValue;
    std::string_view value = *k.value;
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
      value = value.substr(1, value.size() - 2);
    }
    return std::string(value);
  }
  return defaultValue;
}

bool ProfileImage::WriteString(std::string section, std::string key, std::string value) {
  const std::string_view sectionName = Trim(section);
  const std::string_view keyName = Trim(key);
  Section* found = Find(sectionName);
  if (found == nullptr) {
    sections_.push_back({std::string(sectionName), {}});
    Index(sections_.size() - 1);
    found = &sections_.back();
  }
  // The platform drops a value's leading blanks when it stores it; the trailing ones go when it is read.
  std::string_view stored = value;
  while (!stored.empty() && IsBlank(stored.front())) stored.remove_prefix(1);
  for (Key& k : found->keys) {
    if (KeyOf(k.name) == KeyOf(keyName)) {
      k.value = std::string(stored);
      return true;
    }
  }
  found->keys.push_back({std::string(keyName), std::string(stored)});
  return true;
}

bool ProfileImage::DeleteSection(std::string section) {
  Section* found = Find(section);
  if (found == nullptr) return false;
  sections_.erase(sections_.begin() + (found - sections_.data()));
  firstOfName_.clear();
  for (std::size_t i = 0; i < sections_.size(); ++i) Index(i);
  return true;
}

std::string ProfileImage::Bytes() const {
  std::string bytes;
  for (const Section& section : sections_) {
    if (!section.name.empty()) bytes += "[" + section.name + "]\r\n";
    for (const Key& key : section.keys) {
      bytes += key.name;
      if (key.value) bytes += "=" + *key.value;
      bytes += "\r\n";
    }
  }
  return bytes;
}

}  // namespace tarnwick
