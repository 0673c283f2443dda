// The switches' options: the wide command line split as Windows splits it, and the options checked.
#include "app/RunOptions.h"

#include "app/CommandLine.h"
#include "common/Text.h"
#include "process/Scope.h"

namespace tarnwick {
namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

constexpr std::uint32_t kMaxSeconds = 86400;  // a day: beyond it a limit is a mistake, not a choice

struct KnownOption {
  const wchar_t* Name;
  std::optional<std::uint32_t> RunOptions::*Field;
  std::uint32_t MinSeconds;  // grace may be 0 (ask, then force at once); a wait of 0 would report every end
};
const KnownOption kOptions[] = {
    {L"grace", &RunOptions::GraceMs, 0},
    {L"wait", &RunOptions::ProcessWaitMs, 1},
    {L"service", &RunOptions::ServiceWaitMs, 1},
    {L"limit", &RunOptions::RunMs, 1},
};

// Options without a value.
struct KnownFlag {
  const wchar_t* Name;
  bool RunOptions::*Field;
};
const KnownFlag kFlags[] = {
    {L"tree", &RunOptions::Tree},
    {L"json", &RunOptions::Json},
    {L"whatif", &RunOptions::WhatIf},
    {L"all", &RunOptions::All},
};

// Whole seconds, digits only, within the range.
bool ParseSeconds(std::wstring_view text, std::uint32_t minSeconds, std::uint32_t& ms) {
  if (text.empty() || text.size() > 6) return false;
  std::uint32_t seconds = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return false;
    seconds = seconds * 10 + static_cast<std::uint32_t>(c - L'0');
  }
  if (seconds < minSeconds || seconds > kMaxSeconds) return false;
  ms = seconds * 1000;
  return true;
}

bool ParseOption(const std::wstring& token, RunOptions& options, std::string& problem) {
  if (token[0] != L'-' && token[0] != L'/') {
    problem = "unknown option " + Utf8(token) + ": options start with / or -";
    return false;
  }
  const std::size_t colon = token.find(L':');
  const std::wstring name =
      AsciiUpperCase(token.substr(1, colon == std::wstring::npos ? std::wstring::npos : colon - 1));
  for (const KnownFlag& flag : kFlags) {
    if (name != AsciiUpperCase(std::wstring_view(flag.Name))) continue;
    if (colon != std::wstring::npos || options.*flag.Field) {
      problem = "option " + Utf8(token) + ": /" + Utf8(flag.Name) + " takes no value and is given once";
      return false;
    }
    options.*flag.Field = true;
    return true;
  }
  for (const KnownOption& known : kOptions) {
    if (name != AsciiUpperCase(std::wstring_view(known.Name))) continue;
    std::string shown = "/";  // built in two steps: GCC 12 warns falsely on "/" + a string here
    shown += Utf8(known.Name);
    std::uint32_t ms = 0;
    if (colon == std::wstring::npos ||
        !ParseSeconds(std::wstring_view(token).substr(colon + 1), known.MinSeconds, ms)) {
      problem = "option " + Utf8(token) + ": " + shown + ":N takes whole seconds from " +
                std::to_string(known.MinSeconds) + " to " + std::to_string(kMaxSeconds);
      return false;
    }
    if (options.*known.Field) {
      problem = "option " + shown + " is given twice";
      return false;
    }
    options.*known.Field = ms;
    return true;
  }
  problem = "unknown option " + Utf8(token) + " (known:";
  for (const KnownOption& known : kOptions) problem += " /" + Utf8(known.Name) + ":N";
  problem += ", in seconds;";
  for (const KnownFlag& flag : kFlags) problem += " /" + Utf8(flag.Name);
  problem += ")";
  return false;
}

}  // namespace

EndLimits RunOptions::Applied(EndLimits base) const {
  if (GraceMs) base.GraceMs = *GraceMs;
  if (ProcessWaitMs) base.ProcessWaitMs = *ProcessWaitMs;
  if (ServiceWaitMs) base.ServiceWaitMs = *ServiceWaitMs;
  if (RunMs) base.RunMs = *RunMs;
  return base;
}

std::vector<std::wstring> SplitArguments(std::wstring_view commandLine) {
  const std::wstring_view line = AfterProgramName(commandLine);  // the name has no escapes
  std::size_t i = 0;
  std::vector<std::wstring> arguments;
  for (;;) {
    while (i < line.size() && IsBlank(line[i])) ++i;
    if (i >= line.size()) break;
    std::wstring token;
    bool quoted = false;
    while (i < line.size() && (quoted || !IsBlank(line[i]))) {
      if (line[i] == L'\\') {
        std::size_t slashes = 0;
        while (i < line.size() && line[i] == L'\\') ++slashes, ++i;
        if (i < line.size() && line[i] == L'"') {
          token.append(slashes / 2, L'\\');
          if (slashes % 2 == 1) {
            token += L'"';
            ++i;
          }
        } else {
          token.append(slashes, L'\\');
        }
      } else if (line[i] == L'"') {
        if (quoted && i + 1 < line.size() && line[i + 1] == L'"') {
          token += L'"';
          i += 2;
        } else {
          quoted = !quoted;
          ++i;
        }
      } else {
        token += line[i++];
      }
    }
    arguments.push_back(std::move(token));
  }
  return arguments;
}

bool ParseRunOptions(const std::vector<std::wstring>& arguments, RunOptions& options, std::string& problem,
                     std::vector<std::string>* ignored) {
  options = {};
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::wstring& token = arguments[i];
    if (IsStartSwitch(token)) {
      if (ignored != nullptr) ignored->push_back(Utf8(token));
      continue;
    }
    // "//server/share" is a folder written with forward slashes, not an option; a dash pasted from a
    // document starts an option that is none.
    if (token.size() > 1 && (token[0] == L'-' || (token[0] == L'/' && token[1] != L'/') || token[0] == 0x2013 ||
                             token[0] == 0x2014 || token[0] == 0x2212)) {
      if (!ParseOption(token, options, problem)) return false;
      continue;
    }
    if (token.empty()) {
      problem = "an empty folder name";
      return false;
    }
    // No folder name holds a quote: this one comes from a backslash before the closing quote ("D:\Vex\"),
    // which the rules of the command line read as a quote.
    if (const std::size_t quote = token.find(L'"'); quote != std::wstring::npos) {
      problem = "the folder " + Utf8(token) + " holds a double quote: write \"" + Utf8(token.substr(0, quote)) +
                "\" without a backslash before the closing quote";
      return false;
    }
    if (!options.Folder.empty()) {
      problem = "more than one folder: " + Utf8(options.Folder) + " and " + Utf8(token);
      return false;
    }
    options.Folder = token;
  }
  if (options.All && options.Folder.empty()) {
    problem = "option /all needs a folder: it ends every program in it";
    return false;
  }
  return true;
}

}  // namespace tarnwick
