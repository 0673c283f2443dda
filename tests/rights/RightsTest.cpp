// Tarnwick run by an ordinary account (RightsTest.sh lays out the folders as root and starts this as that
// account): a folder named in other scripts, a list file whose folder refuses new files, a list nobody may
// write, a hard-linked list. Each case adds an entry in the window and closes it.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/AppWin32.h"
#include "app/TrustWin32.h"
#include "common/WideTextWin32.h"
#include "searchlist/frmAddProcess.h"
#include "tests/support/Driver.h"
#include "ui/frmMainIds.h"

namespace tarnwick {
namespace {

using namespace test;

std::wstring Stage() {
  wchar_t path[MAX_PATH] = {};
  GetEnvironmentVariableW(L"TARNWICK_RIGHTS_STAGE", path, MAX_PATH);
  return std::wstring(path) + L"\\";
}

void WriteAll(const std::wstring& path, const std::string& bytes) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD n = 0;
  ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
  CloseHandle(file);
}

constexpr const char* kKept = "[kept.exe]\r\nImageName=kept.exe\r\nDescription=kept\r\n";
constexpr const char* kWithAdded =
    "[kept.exe]\r\nImageName=kept.exe\r\nDescription=kept\r\n[added.exe]\r\nImageName=added.exe\r\nDescription=new\r\n";

// Tarnwick.exe of a folder, started with its window.
class Window {
 public:
  explicit Window(const std::wstring& folder, const std::wstring& args = L"") {
    std::wstring commandLine = L"\"" + folder + L"Tarnwick.exe\" " + args;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (CreateProcessW((folder + L"Tarnwick.exe").c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       nullptr, &startup, &info)) {
      process_ = Process(info);
    }
  }
  Process& Proc() { return process_; }
  HWND Main() const {
    for (HWND hwnd : TopLevelWindows(process_.Id(), kMainWindowClass)) {
      if (GetDlgItem(hwnd, IDC_PICSPLITTER) != nullptr) return hwnd;
    }
    return nullptr;
  }
  std::vector<std::string> Names() const { return ListViewColumn(GetDlgItem(Main(), IDC_LSTPROCESS), 0); }
  // Adds an entry through the dialog, as the user would.
  bool Add(const std::string& name, const std::string& description) {
    if (!WaitUntil([&] { return Main() != nullptr; }, 15000ms)) return false;
    const std::size_t before = Names().size();
    PressButton(GetDlgItem(Main(), IDC_CMDADD));
    HWND dialog = WaitMessageBox(process_.Id(), kAddProcessCaption, 10000ms);
    if (dialog == nullptr) return false;
    SetText(GetDlgItem(dialog, IDC_TXTPROCESSNAME), name);
    SetText(GetDlgItem(dialog, IDC_TXTDESCRIPTION), description);
    PressButton(GetDlgItem(dialog, IDC_CMDOK));
    return WaitUntil([&] { return Names().size() == before + 1; }, 10000ms);
  }
  void Close() const { PostMessageA(Main(), WM_CLOSE, 0, 0); }
  bool Ended() { return process_.WaitExit(10000ms); }

 private:
  Process process_;
};

TEST(Rights, AFolderNamedInOtherScriptsHoldsTheListAndTheLog) {
  const std::wstring folder =
      Stage() + L"own\\\u0141\u00f3d\u017a \u0418\u043d\u0441\u0442\u0440\u0443\u043c\u0435\u043d\u0442\u044b\\";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  ASSERT_TRUE(CopyFileW((Stage() + L"Tarnwick.exe").c_str(), (folder + L"Tarnwick.exe").c_str(), FALSE));
  WriteAll(folder + L"Tarnwick.ini", kKept);

  Window window(folder);
  ASSERT_TRUE(window.Add("added.exe", "new"));
  EXPECT_EQ(window.Names().at(9), "kept.exe");
  window.Close();
  ASSERT_TRUE(window.Ended());
  EXPECT_EQ(ReadWideFile(folder + L"Tarnwick.ini"), kWithAdded);

  Window list(folder, L"-l");
  ASSERT_TRUE(list.Ended());
  const std::string log = ReadWideFile(folder + L"Tarnwick.log");
  EXPECT_NE(log, "(missing)");
  EXPECT_NE(log.find("-l"), std::string::npos) << log;
}

TEST(Rights, OnlyTheListFileWritableTheEntryIsSavedInPlace) {
  const std::wstring folder = Stage() + L"fileonly\\";
  Window window(folder);
  ASSERT_TRUE(window.Add("added.exe", "new"));
  window.Close();
  ASSERT_TRUE(window.Ended());
  EXPECT_EQ(ReadWideFile(folder + L"Tarnwick.ini"), kWithAdded);
  EXPECT_EQ(GetFileAttributesW((folder + L"Tarnwick.ini.new").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(Rights, NothingWritableClosingAsksCancelClosesRetrySavesOnceWritable) {
  const std::wstring folder = Stage() + L"readonly\\";
  const std::wstring ini = folder + L"Tarnwick.ini";
  for (const int answer : {IDCANCEL, IDRETRY}) {
    Window window(folder);
    ASSERT_TRUE(window.Add("added.exe", "new"));
    window.Close();
    HWND box = WaitMessageBox(window.Proc().Id(), "Tarnwick", 10000ms);
    ASSERT_NE(box, nullptr);
    EXPECT_NE(MessageBoxText(box).find("could not be saved"), std::string::npos) << MessageBoxText(box);
    EXPECT_TRUE(window.Proc().Running());
    // The account may change its own file's mode: Retry then finds it writable.
    if (answer == IDRETRY) {
      ASSERT_TRUE(SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_NORMAL));
    }
    AnswerMessageBox(box, answer);
    ASSERT_TRUE(window.Ended());
    EXPECT_EQ(ReadWideFile(ini), answer == IDCANCEL ? kKept : kWithAdded);
  }
}

// At the end of a Windows session nobody can answer: the failure is a line of the log, and Tarnwick ends.
TEST(Rights, NothingWritableASessionEndAsksNothingAndLogsTheFailure) {
  const std::wstring folder = Stage() + L"readonly\\";
  SetFileAttributesW((folder + L"Tarnwick.ini").c_str(), FILE_ATTRIBUTE_READONLY);
  Window window(folder);
  ASSERT_TRUE(window.Add("session.exe", ""));
  DWORD_PTR answer = 0;
  SendMessageTimeoutA(window.Main(), WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, 10000, &answer);
  SendMessageTimeoutA(window.Main(), WM_ENDSESSION, TRUE, 0, SMTO_NORMAL, 10000, &answer);
  ASSERT_TRUE(window.Ended());
  EXPECT_EQ(FindMessageBox(window.Proc().Id(), "Tarnwick"), nullptr);
  EXPECT_EQ(ReadWideFile(folder + L"Tarnwick.ini").find("session.exe"), std::string::npos);
  EXPECT_NE(ReadWideFile(folder + L"Tarnwick.log").find("entries not saved"), std::string::npos);
}

// Not elevated, a hard-linked list keeps its link; elevated (as Wine runs every account), a list of two
// names may be anyone's file: the window says at once that it works read-only, and never writes through it.
TEST(Rights, AHardLinkedListKeepsItsLinkUnlessElevated) {
  const std::wstring persist = Stage() + L"own\\persist\\";
  const std::wstring folder = Stage() + L"own\\linked\\";
  ASSERT_TRUE(CreateDirectoryW(persist.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  ASSERT_TRUE(CopyFileW((Stage() + L"Tarnwick.exe").c_str(), (folder + L"Tarnwick.exe").c_str(), FALSE));
  WriteAll(persist + L"Tarnwick.ini", kKept);
  ASSERT_TRUE(CreateHardLinkW((folder + L"Tarnwick.ini").c_str(), (persist + L"Tarnwick.ini").c_str(), nullptr));

  Window window(folder);
  if (RunsElevated()) {
    HWND box = WaitMessageBox(window.Proc().Id(), "Tarnwick", 10000ms);
    ASSERT_NE(box, nullptr);
    EXPECT_NE(MessageBoxText(box).find("more than one name"), std::string::npos) << MessageBoxText(box);
    EXPECT_NE(MessageBoxText(box).find("read-only"), std::string::npos) << MessageBoxText(box);
    AnswerMessageBox(box, IDOK);
  }
  ASSERT_TRUE(window.Add("added.exe", "new"));
  window.Close();
  ASSERT_TRUE(window.Ended());
  EXPECT_EQ(ReadWideFile(persist + L"Tarnwick.ini"), RunsElevated() ? kKept : kWithAdded);
}

}  // namespace
}  // namespace tarnwick
