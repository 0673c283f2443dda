// The name queries of the holder search, in a helper process: Tarnwick's own exe in a hidden mode, in a
// job that ends it when a query does not answer in time. A query on a file with a pending synchronous
// operation can wait forever; a thread of Tarnwick stuck so could never be ended safely, a helper can.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/Text.h"
#include "common/Win32Handles.h"
#include "process/HoldersWin32.h"
#include "process/ScopeWin32.h"

namespace tarnwick {
namespace {

struct AnswerHeader {
  std::uint32_t Folder;
  std::uint32_t Length;  // in wide characters
};

// The arguments after the program's name, without the blanks before them.
std::wstring_view Arguments(const wchar_t* commandLine) {
  std::wstring_view rest = AfterProgramName(commandLine);
  while (!rest.empty() && (rest.front() == L' ' || rest.front() == L'\t')) rest.remove_prefix(1);
  return rest;
}

bool WriteAll(HANDLE pipe, const void* data, DWORD size) {
  DWORD written = 0;
  return WriteFile(pipe, data, size, &written, nullptr) && written == size;
}

// One helper: started in a job, spoken to over an overlapped pipe, ended with its job when it goes.
class Helper final : public NameWorker {
 public:
  explicit Helper(const std::wstring& exe) {
    static LONG serial = 0;
    const std::wstring name = L"\\\\.\\pipe\\tarnwick-names-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(InterlockedIncrement(&serial));
    pipe_.Reset(CreateNamedPipeW(name.c_str(),
                                 PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                 PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 65536, 65536, 0, nullptr));
    if (!pipe_) return;
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    KernelHandle client(
        CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, &inherit, OPEN_EXISTING, 0, nullptr));
    job_.Reset(CreateJobObjectW(nullptr, nullptr));
    event_.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!client || !job_ || !event_) return;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job_.Get(), JobObjectExtendedLimitInformation, &limits, sizeof(limits));
    std::wstring line =
        L"\"" + exe + L"\" " + kNameHelperSwitch + L" " + std::to_wstring(reinterpret_cast<ULONG_PTR>(client.Get()));
    // It inherits its pipe alone: a helper that takes long to die keeps no script's output open.
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof(startup);
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::vector<unsigned char> attributes(size);
    HANDLE inherited = client.Get();
    DWORD flags = CREATE_SUSPENDED | CREATE_NO_WINDOW;
    startup.lpAttributeList = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributes.data());
    if (size > 0 && InitializeProcThreadAttributeList(startup.lpAttributeList, 1, 0, &size) &&
        UpdateProcThreadAttribute(startup.lpAttributeList, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, &inherited,
                                  sizeof(inherited), nullptr, nullptr)) {
      flags |= EXTENDED_STARTUPINFO_PRESENT;
    } else {
      startup.StartupInfo.cb = sizeof(STARTUPINFOW);
    }
    PROCESS_INFORMATION info{};
    const BOOL started = CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, TRUE, flags, nullptr, nullptr,
                                        &startup.StartupInfo, &info);
    if ((flags & EXTENDED_STARTUPINFO_PRESENT) != 0) DeleteProcThreadAttributeList(startup.lpAttributeList);
    if (!started) return;
    process_.Reset(info.hProcess);
    KernelHandle thread(info.hThread);
    if (!AssignProcessToJobObject(job_.Get(), info.hProcess)) {
      TerminateProcess(info.hProcess, 1);
      process_.Reset();
      return;
    }
    ResumeThread(info.hThread);
  }
  Helper(const Helper&) = delete;
  Helper& operator=(const Helper&) = delete;
  ~Helper() {
    if (job_) TerminateJobObject(job_.Get(), 1);
  }

  bool Started() const override { return static_cast<bool>(process_); }

  // False when the helper did not answer by `until`: the handle's query is given up with the helper.
  bool Ask(void* file, std::uint64_t until, NameAnswer& answer) override {
    HANDLE remote = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), file, process_.Get(), &remote, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
      answer.Answered = true;  // nothing to ask: a file of no name
      return true;
    }
    auto value = static_cast<std::uint32_t>(reinterpret_cast<ULONG_PTR>(remote));
    AnswerHeader header{};
    if (!Transfer(true, &value, sizeof(value), until) || !Transfer(false, &header, sizeof(header), until) ||
        header.Length > 32768) {
      return false;
    }
    answer.Path.assign(header.Length, L'\0');
    if (header.Length > 0 && !Transfer(false, answer.Path.data(), header.Length * sizeof(wchar_t), until)) return false;
    answer.Folder = header.Folder != 0;
    answer.Answered = true;
    return true;
  }

 private:
  bool Transfer(bool write, void* data, DWORD size, ULONGLONG until) {
    DWORD total = 0;
    while (total < size) {
      OVERLAPPED overlapped{};
      overlapped.hEvent = event_.Get();
      ResetEvent(event_.Get());
      char* at = static_cast<char*>(data) + total;
      const BOOL done = write ? WriteFile(pipe_.Get(), at, size - total, nullptr, &overlapped)
                              : ReadFile(pipe_.Get(), at, size - total, nullptr, &overlapped);
      if (!done && GetLastError() != ERROR_IO_PENDING) return false;
      const ULONGLONG now = GetTickCount64();
      DWORD moved = 0;
      if (WaitForSingleObject(event_.Get(), now < until ? static_cast<DWORD>(until - now) : 0) != WAIT_OBJECT_0) {
        CancelIo(pipe_.Get());
        GetOverlappedResult(pipe_.Get(), &overlapped, &moved, TRUE);  // the buffer is ours again
        return false;
      }
      if (!GetOverlappedResult(pipe_.Get(), &overlapped, &moved, FALSE) || moved == 0) return false;
      total += moved;
    }
    return true;
  }

  KernelHandle pipe_;
  KernelHandle job_;
  KernelHandle event_;
  KernelHandle process_;
};

}  // namespace

bool IsNameHelper(const wchar_t* commandLine) {
  const std::wstring_view rest = Arguments(commandLine);
  const std::wstring_view name = kNameHelperSwitch;
  return rest.size() > name.size() && rest.substr(0, name.size()) == name && rest[name.size()] == L' ';
}

int RunNameHelper(const wchar_t* commandLine) {
  const std::wstring_view rest = Arguments(commandLine);
  const HANDLE pipe = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(
      std::wcstoull(std::wstring(rest.substr(std::wstring_view(kNameHelperSwitch).size())).c_str(), nullptr, 10)));
  for (;;) {
    std::uint32_t value = 0;
    DWORD read = 0;
    if (!ReadFile(pipe, &value, sizeof(value), &read, nullptr) || read != sizeof(value)) return 0;
    const HANDLE file = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(value));
    const std::wstring path = FinalPathOfHandle(file);
    BY_HANDLE_FILE_INFORMATION info{};
    const bool folder =
        GetFileInformationByHandle(file, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    CloseHandle(file);
    const AnswerHeader header{.Folder = folder ? 1u : 0u, .Length = static_cast<std::uint32_t>(path.size())};
    if (!WriteAll(pipe, &header, sizeof(header)) ||
        (!path.empty() && !WriteAll(pipe, path.data(), static_cast<DWORD>(path.size() * sizeof(wchar_t))))) {
      return 0;
    }
  }
}

std::unique_ptr<NameWorker> StartNameHelper(const std::wstring& exe) { return std::make_unique<Helper>(exe); }

}  // namespace tarnwick
