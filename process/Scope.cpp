// The folder match of a scoped run, and the narrow text of a path for the log.
#include "process/Scope.h"

#include "common/Text.h"

#include <cstdint>
#include <type_traits>

namespace tarnwick {
namespace {

std::wstring AsciiFold(std::wstring_view text) { return AsciiUpperCase(text); }

WideUpperCaseFunction gUpperCase = &AsciiFold;

bool StartsWith(std::wstring_view text, std::wstring_view prefix) {
  return text.size() >= prefix.size() && text.substr(0, prefix.size()) == prefix;
}

bool IsLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

}  // namespace

std::wstring Unprefixed(std::wstring_view path) {
  std::wstring text(path);
  for (wchar_t& c : text) {
    if (c == L'/') c = L'\\';
  }
  for (std::wstring_view unc : {L"\\\\?\\UNC\\", L"\\??\\UNC\\"}) {
    if (StartsWith(text, unc)) return L"\\\\" + text.substr(unc.size());
  }
  for (std::wstring_view device : {L"\\\\?\\", L"\\??\\"}) {
    if (StartsWith(text, device)) return text.substr(device.size());
  }
  return text;
}

std::wstring NormalisedPath(std::wstring_view path) {
  const std::wstring text = Unprefixed(path);
  std::wstring result;
  result.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    // Two leading backslashes open a UNC path; elsewhere a run of them is one.
    if (text[i] == L'\\' && !result.empty() && result.back() == L'\\' && i > 1) continue;
    result += text[i];
  }
  while (result.size() > 1 && result.back() == L'\\') result.pop_back();
  return gUpperCase(result);
}

bool IsAbsolutePath(std::wstring_view path) {
  const std::wstring text = Unprefixed(path);
  if (text.size() >= 3 && IsLetter(text[0]) && text[1] == L':' && text[2] == L'\\') return true;
  // "\\server\share": a server name and a share name.
  if (!StartsWith(text, L"\\\\")) return false;
  const std::size_t share = text.find(L'\\', 2);
  return share != std::wstring::npos && share > 2 && share + 1 < text.size() && text[share + 1] != L'\\';
}

bool LiesIn(std::wstring_view path, std::wstring_view folder) {
  if (path.empty() || folder.empty()) return false;
  const std::wstring file = NormalisedPath(path);
  const std::wstring inside = NormalisedPath(folder) + L'\\';
  return StartsWith(file, inside) && file.size() > inside.size();
}

bool InScope(ProcessApi& api, ProcessHandle process, std::wstring_view scope) {
  return scope.empty() || LiesIn(api.FullImagePath(process), scope);
}

bool OutsideScope(ProcessApi& api, ProcessId id, std::wstring_view scope) {
  if (scope.empty()) return false;
  ProcessRef process(api, kQueryRights, id);
  if (!process) return false;
  const std::wstring path = api.FullImagePath(process.Get());
  return !path.empty() && !LiesIn(path, scope);
}

void SetWideUpperCaseFunction(WideUpperCaseFunction function) {
  gUpperCase = function != nullptr ? function : &AsciiFold;
}

std::string Utf8(std::wstring_view text) {
  const auto unit = [&text](std::size_t i) {
    return static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<wchar_t>>(text[i]));
  };
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint32_t c = unit(i);
    // UTF-16 pairs where wchar_t is 16 bits; a lone half, or no character at all, becomes U+FFFD.
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && unit(i + 1) >= 0xDC00 && unit(i + 1) <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 1) - 0xDC00);
      ++i;
    } else if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

}  // namespace tarnwick
