// A Win32 service for the tests: it reports running; on its stop request it writes a marker file beside
// its exe (the exe's path plus ".stop", holding the moment of the request), then stops. Arguments:
// "ignore" keeps it running; "slow=N" reports STOP_PENDING for N ms with a fresh checkpoint every 500 ms
// and a 3 s wait hint; "block" never returns from the stop request. Any other argument names a service
// of the process: several make one process host them all (a shared host).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

enum class OnStop { Stops, Ignores, Slow, Blocks };
OnStop gOnStop = OnStop::Stops;
DWORD gSlowMs = 0;
bool gShared = false;

struct Service {
  char Name[256] = "";
  SERVICE_STATUS_HANDLE Status = nullptr;
  HANDLE Stopped = nullptr;
  DWORD CheckPoint = 0;
};
std::vector<Service> gServices;

void Report(Service& service, DWORD state) {
  SERVICE_STATUS status{};
  status.dwServiceType = gShared ? SERVICE_WIN32_SHARE_PROCESS : SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = state;
  status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
  status.dwWaitHint = state == SERVICE_STOP_PENDING ? (gOnStop == OnStop::Slow ? 3000 : 2000) : 0;
  status.dwCheckPoint = state == SERVICE_STOP_PENDING ? ++service.CheckPoint : 0;
  SetServiceStatus(service.Status, &status);
}

void WriteMarker(const Service& service) {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  // One marker per service where the process hosts several.
  std::string marker(path, length);
  if (gServices.size() > 1) marker += std::string(".") + service.Name;
  marker += ".stop";
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  char text[32];
  std::snprintf(text, sizeof(text), "%llu",
                (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime);
  HANDLE file = CreateFileA(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(file, text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
  CloseHandle(file);
}

DWORD WINAPI Handler(DWORD control, DWORD, void*, void* context) {
  if (control == SERVICE_CONTROL_STOP) {
    Service& service = *static_cast<Service*>(context);
    WriteMarker(service);
    if (gOnStop == OnStop::Blocks) Sleep(INFINITE);
    if (gOnStop != OnStop::Ignores) {
      Report(service, SERVICE_STOP_PENDING);
      SetEvent(service.Stopped);
    }
  }
  return NO_ERROR;
}

Service* Named(const char* name) {
  for (Service& service : gServices) {
    if (name != nullptr && _stricmp(service.Name, name) == 0) return &service;
  }
  return &gServices[0];
}

void WINAPI ServiceMain(DWORD argc, char** argv) {
  Service& service = *Named(argc > 0 ? argv[0] : nullptr);
  service.Status = RegisterServiceCtrlHandlerExA(service.Name, &Handler, &service);
  Report(service, SERVICE_RUNNING);
  WaitForSingleObject(service.Stopped, INFINITE);
  // A slow stop: it keeps telling that it makes progress until it is done.
  for (DWORD waited = 0; gOnStop == OnStop::Slow && waited < gSlowMs; waited += 500) {
    Sleep(500);
    Report(service, SERVICE_STOP_PENDING);
  }
  Report(service, SERVICE_STOPPED);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> names;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "ignore") == 0) {
      gOnStop = OnStop::Ignores;
    } else if (std::strcmp(argv[i], "block") == 0) {
      gOnStop = OnStop::Blocks;
    } else if (std::strncmp(argv[i], "slow=", 5) == 0) {
      gOnStop = OnStop::Slow;
      gSlowMs = static_cast<DWORD>(std::atoi(argv[i] + 5));
    } else {
      names.push_back(argv[i]);
    }
  }
  if (names.empty()) names.push_back("");
  gShared = names.size() > 1;
  gServices.resize(names.size());
  std::vector<SERVICE_TABLE_ENTRYA> table;
  for (std::size_t i = 0; i < names.size(); ++i) {
    std::snprintf(gServices[i].Name, sizeof(gServices[i].Name), "%s", names[i].c_str());
    gServices[i].Stopped = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    table.push_back({gServices[i].Name, &ServiceMain});
  }
  table.push_back({nullptr, nullptr});
  return StartServiceCtrlDispatcherA(table.data()) ? 0 : 1;
}
