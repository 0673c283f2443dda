// The Event Log over advapi32: the source's registry key, and ReportEventW with the entry's fields.
#include "app/EventLogWin32.h"

#include <windows.h>

#include "app/AppWin32.h"
#include "app/RunWin32.h"
#include "common/GrowBuffer.h"
#include "common/WideTextWin32.h"
#include "common/Win32Handles.h"

namespace tarnwick {
namespace {

std::wstring RegisteredMessageFile() {
  HKEY raw = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kEventSourceKey, 0, KEY_QUERY_VALUE, &raw) != ERROR_SUCCESS) return {};
  const RegistryKey key(raw);
  std::wstring value(MAX_PATH, L'\0');
  DWORD type = 0;
  const auto fill = [&](wchar_t* data, std::size_t& size) {
    DWORD bytes = static_cast<DWORD>((size - 1) * sizeof(wchar_t));  // room for a terminator the value may lack
    const LSTATUS status =
        RegQueryValueExW(key.Get(), L"EventMessageFile", nullptr, &type, reinterpret_cast<BYTE*>(data), &bytes);
    size = bytes / sizeof(wchar_t);
    if (status == ERROR_SUCCESS) data[size] = L'\0';
    return status == ERROR_SUCCESS ? Fill::Done : status == ERROR_MORE_DATA ? Fill::Grow : Fill::Failed;
  };
  if (!GrowUntilFits(value, fill) || (type != REG_SZ && type != REG_EXPAND_SZ)) return {};
  value.resize(wcslen(value.c_str()));  // up to its terminator
  return value;
}

WORD TypeOf(EventLevel level) {
  switch (level) {
    case EventLevel::Warning:
      return EVENTLOG_WARNING_TYPE;
    case EventLevel::Error:
      return EVENTLOG_ERROR_TYPE;
    case EventLevel::Information:
      break;
  }
  return EVENTLOG_INFORMATION_TYPE;
}

int Refused(RunContext& context, const char* source, const char* what, LONG error) {
  context.Note(source, what, "system error " + std::to_string(error));
  return 1;
}

}  // namespace

int RegisterTarnwickSource(RunContext& context) {
  const TrustCheck& trust = context.Trust();
  if (!trust.Trusted()) {
    context.Note("-register", "event source not registered", trust.Warning);
    return kExitUntrusted;
  }
  HKEY raw = nullptr;
  LONG status =
      RegCreateKeyExW(HKEY_LOCAL_MACHINE, kEventSourceKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &raw, nullptr);
  const RegistryKey key(raw);
  if (status != ERROR_SUCCESS) return Refused(context, "-register", "event source not registered", status);
  const std::wstring exe = ExePath();
  const DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
  status = RegSetValueExW(key.Get(), L"EventMessageFile", 0, REG_SZ, reinterpret_cast<const BYTE*>(exe.c_str()),
                          static_cast<DWORD>((exe.size() + 1) * sizeof(wchar_t)));
  if (status == ERROR_SUCCESS) {
    status = RegSetValueExW(key.Get(), L"TypesSupported", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&types),
                            sizeof(types));
  }
  if (status != ERROR_SUCCESS) return Refused(context, "-register", "event source not registered", status);
  context.Note("-register", "event source registered", "Application log, source Tarnwick");
  return 0;
}

int UnregisterTarnwickSource(RunContext& context) {
  const LONG status = RegDeleteKeyW(HKEY_LOCAL_MACHINE, kEventSourceKey);
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
    return Refused(context, "-unregister", "event source not removed", status);
  }
  context.Note("-unregister", "event source removed", "");
  return 0;
}

EventReporter::EventReporter() {
  const std::wstring file = RegisteredMessageFile();
  if (file.empty() || CompareStringOrdinal(file.c_str(), -1, ExePath().c_str(), -1, TRUE) != CSTR_EQUAL) return;
  source_ = RegisterEventSourceW(nullptr, L"Tarnwick");
}

EventReporter::~EventReporter() {
  if (source_ != nullptr) DeregisterEventSource(source_);
}

void EventReporter::Report(const RunEntry& entry) const {
  if (source_ == nullptr) return;
  for (const RunEvent& event : EventsOf(entry)) {
    std::vector<std::wstring> wide;
    for (const std::string& text : event.Strings) wide.push_back(WideFromUtf8(text));
    std::vector<LPCWSTR> strings;
    for (const std::wstring& text : wide) strings.push_back(text.c_str());
    ReportEventW(source_, TypeOf(event.Level), 0, event.Id, nullptr, static_cast<WORD>(strings.size()), 0,
                 strings.data(), nullptr);
  }
}

}  // namespace tarnwick
