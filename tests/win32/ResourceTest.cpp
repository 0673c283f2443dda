// What Tarnwick.exe carries: the manifest, the version information and the Event Log's messages; and the
// program's own paths.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/AppWin32.h"
#include "app/RunEvents.h"
#include "common/Text.h"
#include "common/WideTextWin32.h"
#include "tests/support/Driver.h"

namespace tarnwick {
namespace {

std::string ExeUnderTest() { return test::BinDir() + "Tarnwick.exe"; }

// The manifest names the processor the exe was built for.
#ifdef _WIN64
constexpr const char* kManifestArch = "amd64";
#else
constexpr const char* kManifestArch = "x86";
#endif

// Event Viewer reads each event's text from the exe by its plain ID, with the log line's fields put in.
TEST(Resources, EveryEventIdHasItsMessageWithTheFieldsInserted) {
  HMODULE exe = LoadLibraryExA(ExeUnderTest().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(exe, nullptr);
  const wchar_t* fields[] = {
      L"2026-12-09T02:00:01.015+01:00", L"-k", L"Vex.exe", L"4242", L"1", L"ended", L"why", L"C:\\Vex\\Vex.exe"};
  DWORD_PTR arguments[std::size(fields)];
  for (std::size_t i = 0; i < std::size(fields); ++i) arguments[i] = reinterpret_cast<DWORD_PTR>(fields[i]);
  for (const EventId id : kEventIds) {
    wchar_t* text = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                       exe, id, 0, reinterpret_cast<wchar_t*>(&text), 0, reinterpret_cast<va_list*>(arguments));
    ASSERT_GT(length, 0u) << id;
    EXPECT_NE(std::wstring(text).find(L"Time: 2026-12-09T02:00:01.015+01:00"), std::wstring::npos) << id;
    LocalFree(text);
  }
  FreeLibrary(exe);
}

TEST(Resources, ManifestAsksForHighestAvailableAndCommonControls6) {
  HMODULE exe = LoadLibraryExA(ExeUnderTest().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(exe, nullptr);
  HRSRC found = FindResourceA(exe, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
  ASSERT_NE(found, nullptr);
  const char* data = static_cast<const char*>(LockResource(LoadResource(exe, found)));
  const std::string manifest(data, SizeofResource(exe, found));
  FreeLibrary(exe);
  EXPECT_NE(manifest.find("version=\"1.0.0.0\" processorArchitecture=\"" + std::string(kManifestArch) + "\""),
            std::string::npos);
  // Common Controls 6 of the same processor: a mismatch would make Windows refuse to start the exe.
  EXPECT_NE(manifest.find("processorArchitecture=\"" + std::string(kManifestArch) + "\" publicKeyToken"),
            std::string::npos);
  EXPECT_NE(manifest.find("level=\"highestAvailable\" uiAccess=\"false\""), std::string::npos);
  EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
  EXPECT_NE(manifest.find("PerMonitorV2"), std::string::npos);
}

std::string VersionString(const std::vector<char>& block, const char* name) {
  char* value = nullptr;
  UINT size = 0;
  const std::string path = std::string("\\StringFileInfo\\040904B0\\") + name;
  if (!VerQueryValueA(block.data(), path.c_str(), reinterpret_cast<void**>(&value), &size) || size == 0) return "";
  return std::string(value);
}

TEST(Resources, VersionInformationNamesTheProgram) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(ExeUnderTest().c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<char> block(size);
  ASSERT_TRUE(GetFileVersionInfoA(ExeUnderTest().c_str(), 0, size, block.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(0, 1));
  EXPECT_EQ(fixed->dwFileVersionLS, 0u);
  EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(0, 1));
  EXPECT_EQ(VersionString(block, "FileVersion"), "1.0.0.0");
  EXPECT_EQ(VersionString(block, "ProductVersion"), "1.0.0.0");
  EXPECT_EQ(VersionString(block, "ProductName"), "Tarnwick");
  EXPECT_EQ(VersionString(block, "InternalName"), "Tarnwick");
  EXPECT_EQ(VersionString(block, "OriginalFilename"), "Tarnwick.exe");
}

TEST(Resources, BothIconsHaveSmallAndLargeImages) {
  HMODULE exe = LoadLibraryExA(ExeUnderTest().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(exe, nullptr);
  for (int id : {1, 2}) {
    for (int size : {16, 32}) {
      HICON icon = static_cast<HICON>(LoadImageA(exe, MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, 0));
      EXPECT_NE(icon, nullptr) << "icon " << id << " at " << size;
      ICONINFO info{};
      ASSERT_TRUE(GetIconInfo(icon, &info));
      BITMAP bitmap{};
      GetObjectA(info.hbmColor, sizeof(bitmap), &bitmap);
      EXPECT_EQ(bitmap.bmWidth, size);
      DeleteObject(info.hbmColor);
      DeleteObject(info.hbmMask);
      DestroyIcon(icon);
    }
  }
  FreeLibrary(exe);
}

TEST(AppPaths, DirectoryEndsInOneBackslashAndNameHasNoExtension) {
  const std::string dir = Utf8FromWide(AppDirectory());
  ASSERT_GE(dir.size(), 3u);
  EXPECT_EQ(dir.back(), '\\');
  EXPECT_NE(dir[dir.size() - 2], '\\');
  EXPECT_EQ(dir, test::BinDir());
  EXPECT_EQ(ExeName(), "tarnwick_win32_tests");
}

// Over UTF-16: letters outside any code page fold too, and a letter with a mark stays another letter.
TEST(SystemCaseFolding, FoldsLettersOfAnyScript) {
  UseSystemCaseFolding();
  EXPECT_EQ(UpperCase("vexsql.exe"), "VEXSQL.EXE");
  EXPECT_TRUE(EqualsNoCase("caf\xC3\xA9.exe", "CAF\xC3\x89.EXE"));
  EXPECT_TRUE(
      EqualsNoCase("g\xC4\x81"
                   "dget.exe",
                   "G\xC4\x80"
                   "DGET.EXE"));
  EXPECT_FALSE(
      EqualsNoCase("G\xC4\x81"
                   "dget.exe",
                   "Gadget.exe"));
  EXPECT_FALSE(EqualsNoCase("notepad", "notepad.exe"));
}

}  // namespace
}  // namespace tarnwick
