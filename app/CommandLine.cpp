// The start mode from the first argument, and what a switch takes after it.
#include "app/CommandLine.h"

#include "common/Text.h"
#include "process/Scope.h"

namespace tarnwick {
namespace {

struct NamedMode {
  const wchar_t* Token;  // upper case
  StartMode Mode;
};
const NamedMode kModes[] = {
    {L"-A", StartMode::Auto},
    {L"/A", StartMode::Auto},
    {L"-I", StartMode::Tray},
    {L"/I", StartMode::Tray},
    {L"-K", StartMode::Kill},
    {L"/K", StartMode::Kill},
    {L"-L", StartMode::List},
    {L"/L", StartMode::List},
    {L"/?", StartMode::Help},
    {L"-?", StartMode::Help},
    {L"-H", StartMode::Help},
    {L"/H", StartMode::Help},
    {L"--HELP", StartMode::Help},
    {L"/VERSION", StartMode::Version},
    {L"-V", StartMode::Version},
    {L"--VERSION", StartMode::Version},
    {L"-REGISTER", StartMode::Register},
    {L"/REGISTER", StartMode::Register},
    {L"-UNREGISTER", StartMode::Unregister},
    {L"/UNREGISTER", StartMode::Unregister},
};

constexpr const char* kSwitches = "-a, -i, -k or -l (or /a, /i, /k, /l), /? for help, /version";

// A dash as documents and word processors write it: pasted into a command line it still means a switch.
bool IsDash(wchar_t c) { return c == L'-' || c == L'/' || c == 0x2013 || c == 0x2014 || c == 0x2212; }

StartMode ModeOf(std::wstring_view token) {
  const std::wstring upper = AsciiUpperCase(token);
  for (const NamedMode& named : kModes) {
    if (upper == named.Token) return named.Mode;
  }
  return token.empty() || !IsDash(token[0]) ? StartMode::Plain : StartMode::Unknown;
}

}  // namespace

bool IsStartSwitch(std::wstring_view token) {
  const StartMode mode = ModeOf(token);
  return token.size() == 2 &&
         (mode == StartMode::Auto || mode == StartMode::Tray || mode == StartMode::Kill || mode == StartMode::List);
}

StartCommand ReadStartCommand(const std::vector<std::wstring>& arguments) {
  StartCommand command;
  if (arguments.empty()) return command;
  command.Mode = ModeOf(arguments[0]);
  switch (command.Mode) {
    case StartMode::Unknown:
      command.Problem = "unknown switch " + Utf8(arguments[0]) + ": the switches are " + kSwitches;
      break;
    case StartMode::Auto:
    case StartMode::Kill:
    case StartMode::List:
      static_cast<void>(ParseRunOptions(arguments, command.Options, command.Problem, &command.Ignored));
      break;
    default:
      break;  // a plain start, -i, help and version look at nothing after the first token
  }
  return command;
}

std::string UsageText() {
  return "Usage: Tarnwick.exe [switch] [folder] [options]\r\n"
         "  (none)  show the window\r\n"
         "  -i      start in the notification area\r\n"
         "  -a      end one process of every listed image, then exit\r\n"
         "  -k      end every process of every listed image, then exit\r\n"
         "  -l      list the running processes of the listed images; change nothing\r\n"
         "  /a /i /k /l are the same, in any letter case; /? help; /version the version\r\n"
         "  -register, -unregister  add or remove Tarnwick's Event Log source (as administrator)\r\n"
         "After -a, -k or -l:\r\n"
         "  \"D:\\Vex\"      only programs in that folder or below it (a full path)\r\n"
         "  /grace:N      seconds a program with a window gets to close (default 5)\r\n"
         "  /wait:N       seconds to wait for each ended process (default 5)\r\n"
         "  /service:N    seconds to wait for each service to stop (default 20)\r\n"
         "  /limit:N      seconds for the whole run (default 30)\r\n"
         "  /tree         also end what the ended programs started\r\n"
         "  /json         JSON Lines on standard output\r\n"
         "  /whatif       say what the run would do, and do nothing\r\n"
         "Exit codes: 0 done; 1 not everything ended (-l: a listed image runs); 2 another Tarnwick runs\r\n"
         "from this folder; 3 could not start; 4 elevated and others can change its files;\r\n"
         "5 bad command line. Nothing is done for 2 to 5.\r\n"
         "Details: README.md beside Tarnwick.exe, and Tarnwick.log in its folder.\r\n";
}

std::string VersionLine(const VersionNumbers& version, bool wide) {
  const std::string box = VersionText("Tarnwick", version);  // "Tarnwick version 1.0.0"
  return "Tarnwick " + box.substr(box.rfind(' ') + 1) + (wide ? " (64-bit)" : " (32-bit)");
}

}  // namespace tarnwick
