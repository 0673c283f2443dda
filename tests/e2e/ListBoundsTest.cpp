// A list file past the read's bounds: the window tells what it left out once, the switches in the log.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/support/Driver.h"
#include "ui/frmMainIds.h"

namespace tarnwick {
namespace {

using namespace test;

constexpr const char* kOverrun =
    "Tarnwick.ini holds more than Tarnwick reads: 1 entry with an image name longer than 260 characters left out.";

TEST(ListBounds, TheWindowTellsOnceWhatTheReadLeftOutAndTheSwitchesLogIt) {
  App app;
  const std::string file = "[a.exe]\r\nImageName=a.exe\r\n[long]\r\nImageName=" + std::string(261, 'n') + "\r\n";
  WriteFile(app.IniPath(), file);
  app.Run();
  HWND box = WaitMessageBox(app.Proc().Id(), "Tarnwick", 10000ms);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box), kOverrun);
  AnswerMessageBox(box, IDOK);
  ASSERT_NE(app.WaitMainWindow(), nullptr);
  EXPECT_EQ(ListViewCount(app.Control(IDC_LSTPROCESS)), 9 + 1);
  EXPECT_EQ(FindMessageBox(app.Proc().Id(), "Tarnwick"), nullptr);
  ASSERT_TRUE(app.Close());
  EXPECT_EQ(ReadFile(app.IniPath()), file);  // what was not read is kept while the list is as read

  Process list = Start(app.ExePath(), "-l");
  ASSERT_TRUE(list.WaitExit(10000ms));
  EXPECT_NE(ReadFile(app.Folder() + "Tarnwick.log").find(std::string("list file\t") + kOverrun), std::string::npos);
}

}  // namespace
}  // namespace tarnwick
