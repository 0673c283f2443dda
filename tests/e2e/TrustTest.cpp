// Run elevated (as Wine runs every program), Tarnwick acts only on files that others cannot change: with
// Tarnwick.ini or its folder writable by others (chmod o+w, which Wine shows as a write rule for
// Everyone), "-a" and "-k" end nothing and exit with code 4, "-l" warns, the window warns once; and no
// DLL planted beside the exe is loaded by name into its process.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/support/Driver.h"
#include "ui/frmMainIds.h"

namespace tarnwick {
namespace {

using namespace test;

struct Ran {
  int ExitCode = -1;
  std::string Output;
};

// Runs Tarnwick to its end with standard output in a pipe, as "Tarnwick.exe -a | findstr" would.
Ran RunPiped(const App& app, const std::string& args) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE read = nullptr, write = nullptr;
  if (!CreatePipe(&read, &write, &inherit, 256 * 1024)) return {};
  Process run = Start(app.ExePath(), args, write);
  CloseHandle(write);
  Ran ran;
  std::string chunk(64 * 1024, '\0');
  DWORD got = 0;
  while (::ReadFile(read, chunk.data(), static_cast<DWORD>(chunk.size()), &got, nullptr) && got > 0) {
    ran.Output.append(chunk.data(), got);
  }
  CloseHandle(read);
  if (run.WaitExit(20000ms)) ran.ExitCode = static_cast<int>(run.ExitCode());
  return ran;
}

bool Chmod(const std::string& mode, const std::string& windowsPath) {
  LinuxShell shell;
  return shell.Run("chmod " + mode + " '" + UnixPath(windowsPath) + "'");
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(Trust, AnElevatedRunActsOnlyOnFilesThatOthersCannotChange) {
  TempDir dir;
  Process vex = StartSleeper(dir, "Vex.exe");
  ASSERT_TRUE(WaitReady(vex));
  const struct {
    const char* args;
    bool folder;  // else the list file
    int exitCode;
  } cases[] = {{"-a", false, 4}, {"-a", true, 4}, {"-k", false, 4}, {"-l", true, 1}};
  for (const auto& c : cases) {
    App app;
    WriteFile(app.IniPath(), "[User.exe]\r\nImageName=User.exe\r\nDescription=mine\r\n");
    const std::string changeable = c.folder ? app.Folder() : app.IniPath();
    ASSERT_TRUE(Chmod("o+w", changeable));
    const Ran ran = RunPiped(app, c.args);
    EXPECT_EQ(ran.ExitCode, c.exitCode) << c.args;
    EXPECT_TRUE(vex.Running()) << c.args;
    // The first line names the file or folder, who can change it, and what to do.
    const std::string first = ran.Output.substr(0, ran.Output.find("\r\n"));
    EXPECT_TRUE(Has(first, "\trun started\t")) << first;
    EXPECT_TRUE(Has(first, changeable + " can be changed by Everyone (S-1-1-0: ")) << first;
    EXPECT_TRUE(Has(first,
                    "move Tarnwick to a folder that only administrators can change, such as "
                    "C:\\Program Files\\Tarnwick"))
        << first;
    EXPECT_TRUE(Has(first, "icacls \"" + app.Folder().substr(0, app.Folder().size() - 1) + "\" /reset")) << first;
    if (c.exitCode == 4) {
      EXPECT_TRUE(Has(ran.Output,
                      "\trun ended\texit code 4, 0.0 s: others can change what the run would act on; "
                      "nothing was done\t" +
                          app.ExePath() + "\r\n"))
          << ran.Output;
    }
    // A log in a folder that others can change is not written at all.
    EXPECT_EQ(ReadFile(app.Dir().File("Tarnwick.log")), c.folder ? "" : ran.Output) << c.args;

    // With the usual rights (644, 755) the same run goes as before.
    ASSERT_TRUE(Chmod("o-w", changeable));
    const Ran trusted = RunPiped(app, c.args);
    EXPECT_FALSE(Has(trusted.Output, "not safe")) << trusted.Output;
    if (std::string(c.args) != "-l") {
      EXPECT_EQ(trusted.ExitCode, 0) << c.args;
      EXPECT_TRUE(vex.WaitExit(5000ms)) << c.args;
      vex = StartSleeper(dir, "Vex.exe");
      ASSERT_TRUE(WaitReady(vex));
    }
  }
}

// A folder above Tarnwick's that everyone may change lets anyone rename it and put another Tarnwick in its
// place: the elevated run refuses and names that folder as the one to lock down; "-a" writes no log there.
TEST(Trust, AParentFolderThatOthersCanChangeMakesTheRunRefuse) {
  TempDir dir;
  Process vex = StartSleeper(dir, "Vex.exe");
  ASSERT_TRUE(WaitReady(vex));
  App app("Tarnwick.exe", 200);
  ASSERT_TRUE(Chmod("o+w", app.Dir().Path()));
  for (const char* args : {"-k", "-a"}) {
    const Ran ran = RunPiped(app, args);
    EXPECT_EQ(ran.ExitCode, 4) << args;
    EXPECT_TRUE(vex.Running());
    const std::string parent = app.Dir().Path().substr(0, app.Dir().Path().size() - 1);
    EXPECT_TRUE(Has(ran.Output, app.Dir().Path() + " can be changed by Everyone (S-1-1-0: delete what is in it, "))
        << ran.Output;
    EXPECT_TRUE(Has(ran.Output, "lock \"" + parent + "\" down")) << ran.Output;
    EXPECT_FALSE(FileExists(app.Folder() + "Tarnwick.log")) << args;
  }
  ASSERT_TRUE(Chmod("o-w", app.Dir().Path()));
  EXPECT_EQ(RunPiped(app, "-k").ExitCode, 0);
  EXPECT_TRUE(vex.WaitExit(5000ms));
}

TEST(Trust, TheWindowWarnsOnceAndStaysUsable) {
  TempDir dir;
  Process vex = StartSleeper(dir, "Vex.exe");
  ASSERT_TRUE(WaitReady(vex));
  App app;
  WriteFile(app.IniPath(), "[User.exe]\r\nImageName=User.exe\r\nDescription=mine\r\n");
  ASSERT_TRUE(Chmod("o+w", app.IniPath()));
  Process& run = app.Run();
  ASSERT_NE(app.WaitMainWindow(), nullptr);
  HWND box = WaitMessageBox(run.Id(), "Tarnwick");
  ASSERT_NE(box, nullptr);
  const std::string text = MessageBoxText(box);
  EXPECT_TRUE(Has(text, "others can change its files")) << text;
  EXPECT_TRUE(Has(text, app.IniPath() + " can be changed by Everyone (S-1-1-0: write")) << text;
  AnswerMessageBox(box, IDOK);
  // The list keeps working: the running Vex.exe shows up, and no second warning comes.
  HWND running = app.Control(IDC_LSTRESIDELIST);
  EXPECT_TRUE(WaitUntil([&] { return ListViewColumn(running) == std::vector<std::string>{"Vex.exe"}; }));
  EXPECT_FALSE(WaitUntil([&] { return FindMessageBox(run.Id(), "Tarnwick") != nullptr; }, 2500ms));
  EXPECT_TRUE(app.Close());
}

// A load by bare name inside Tarnwick's process, as a system DLL makes on its behalf later, searches System32
// only: the DLL planted beside the exe is not loaded, with Wine told to prefer a native DLL (n,b) as Windows
// does for any DLL that is not a known one.
TEST(Trust, NoDllPlantedBesideTheExeIsLoadedByName) {
  App app;
  const std::string planted = app.Folder() + "dwmapi.dll";
  ASSERT_TRUE(CopyFileA((BinDir() + "planted.dll").c_str(), planted.c_str(), FALSE));
  // The planted DLL does leave its mark where it is loaded.
  HMODULE direct = LoadLibraryA(planted.c_str());
  ASSERT_NE(direct, nullptr);
  FreeLibrary(direct);
  ASSERT_TRUE(FileExists(planted + ".loaded"));
  DeleteFileA((planted + ".loaded").c_str());

  char overrides[512] = {};
  GetEnvironmentVariableA("WINEDLLOVERRIDES", overrides, sizeof(overrides));
  SetEnvironmentVariableA("WINEDLLOVERRIDES", (std::string(overrides) + ";dwmapi=n,b").c_str());
  Process& run = app.Run();
  SetEnvironmentVariableA("WINEDLLOVERRIDES", overrides);
  HWND window = app.WaitMainWindow();
  ASSERT_NE(window, nullptr);
  PostCommand(window, IDM_HELPITEM0);  // the version box reads the exe's own resource
  HWND box = WaitMessageBox(run.Id(), "Tarnwick");
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box), "Tarnwick version 1.0.0");
  AnswerMessageBox(box, IDOK);

  // LoadLibraryW("dwmapi.dll") on a thread of Tarnwick's process (kernel32 lies at the same address there).
  const std::wstring name = L"dwmapi.dll";
  const SIZE_T bytes = (name.size() + 1) * sizeof(wchar_t);
  void* remote = VirtualAllocEx(run.Handle(), nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  ASSERT_NE(remote, nullptr);
  ASSERT_TRUE(WriteProcessMemory(run.Handle(), remote, name.c_str(), bytes, nullptr));
  const auto loadLibrary = reinterpret_cast<LPTHREAD_START_ROUTINE>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "LoadLibraryW")));
  HANDLE thread = CreateRemoteThread(run.Handle(), nullptr, 0, loadLibrary, remote, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
  DWORD loaded = 0;
  GetExitCodeThread(thread, &loaded);
  CloseHandle(thread);
  EXPECT_NE(loaded, 0u);  // the system's dwmapi.dll
  EXPECT_FALSE(FileExists(planted + ".loaded"));
  EXPECT_TRUE(app.Close());
}

}  // namespace
}  // namespace tarnwick
