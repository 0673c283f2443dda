// What follows "-a", "-k" or "-l" on the command line: an optional folder the run is limited to, and the
// limits in seconds ("/grace:10 /limit:120"), read from the wide command line as Windows splits it.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "process/EndPipeline.h"

namespace tarnwick {

struct RunOptions {
  std::wstring Folder;  // as given; empty: the whole machine
  bool All = false;     // "/all": with the folder, every program in it is ended, listed or not
  std::optional<std::uint32_t> GraceMs;
  std::optional<std::uint32_t> ProcessWaitMs;
  std::optional<std::uint32_t> ServiceWaitMs;
  std::optional<std::uint32_t> RunMs;
  bool Tree = false;    // /tree: end the descendants of each process ended too
  bool Json = false;    // "/json": standard output carries JSON Lines
  bool WhatIf = false;  // "/whatif": say what the run would do, and do nothing

  // The base limits with those given here put in.
  EndLimits Applied(EndLimits base) const;
};

// The arguments after the program's name, split as CommandLineToArgvW splits them: blanks separate,
// double quotes group, backslashes are literal except before a double quote (2n + 1 backslashes and a
// quote give n backslashes and a quote; 2n and a quote give n and group), "" inside quotes is a quote.
std::vector<std::wstring> SplitArguments(std::wstring_view commandLine);

// Reads the tokens after the switch (arguments[0] is the switch itself and is not looked at). Options are
// "/name:seconds" (or "-name:seconds"), names in any letter case: grace, wait, service, limit;
// and the flags "/tree", "/json", "/whatif" and "/all" (which needs a folder). A later
// start switch ("-i", "/a") is left out and named in `ignored`. Any other token is the folder, at most one.
// False, with a line for the user, on an unknown option (a dash from a document included), a bad value, a
// repeated option or a second folder.
[[nodiscard]] bool ParseRunOptions(const std::vector<std::wstring>& arguments, RunOptions& options,
                                   std::string& problem, std::vector<std::string>* ignored = nullptr);

}  // namespace tarnwick
