// The one reading of the command line: the start mode from the first argument, then what follows a switch,
// all from the wide command line split as Windows splits it.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "app/RunOptions.h"
#include "ui/VersionText.h"

namespace tarnwick {

// Auto ("-a"), Kill ("-k") and List ("-l") run without a window; Kill and List not even a hidden one. Help
// and Version only tell; Register and Unregister add or remove Tarnwick's Event Log source; Unknown is a
// switch that is none and ends nothing.
enum class StartMode { Plain, Tray, Auto, Kill, List, Help, Version, Register, Unregister, Unknown };

struct StartCommand {
  StartMode Mode = StartMode::Plain;
  RunOptions Options{};                // for Auto, Kill and List
  std::string Problem{};               // Unknown, or a switch's options that cannot be followed: why (code 5)
  std::vector<std::string> Ignored{};  // later start switches left out ("-i" after "-a"), as given
};

// The arguments after the program's name (SplitArguments). The first chooses: "-a", "-i", "-k", "-l" or
// their slash forms in any letter case; help and version; a token that starts with neither "-" nor "/" is
// a plain start; one that starts with "-", "/" or a dash from a document (en dash, em dash, minus sign) and
// is none of those is Unknown. After "-a", "-k" or "-l" come the folder and the options.
StartCommand ReadStartCommand(const std::vector<std::wstring>& arguments);

// The usage text that help prints.
std::string UsageText();

// "Tarnwick 1.0.0 (32-bit)": what "/version" tells, from the version numbers and the build's bitness.
std::string VersionLine(const VersionNumbers& version, bool wide);

// True for the one-letter start switches in either form: the tokens a later argument may repeat.
bool IsStartSwitch(std::wstring_view token);

}  // namespace tarnwick
