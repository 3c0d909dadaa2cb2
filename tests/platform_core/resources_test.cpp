// The resource table's strings, icons, cursors, stock objects and accelerator tables.
#include "platform/resources.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/internal/module_interfaces.h"
#include "platform/testing_display.h"
#include "platform/win32.h"
#include "scripted_window.h"

namespace {

const ResourceString kStrings[] = {{1, u"QUELT_VER120"}, {2, u"QUELT_VER120"}, {7, u""}};
const unsigned char kIconBytes[] = {0, 0, 1, 0};
const ResourceBlob kIcons[] = {{101, kIconBytes, sizeof kIconBytes}};
const ACCEL kAccelerators[] = {{FVIRTKEY | FCONTROL, 'A', 40002}, {FVIRTKEY | FCONTROL, 'Q', 1}};
const ResourceAccelerators kTables[] = {{2, kAccelerators, 2}};
const ResourceTable kTable = {nullptr, 0, kStrings, 3, kTables, 1, kIcons, 1};
const HINSTANCE kInstance = reinterpret_cast<HINSTANCE>(0x400000);

class Resources : public ::testing::Test {
 protected:
  void SetUp() override { SetResourceTable(&kTable); }
  void TearDown() override { SetResourceTable(nullptr); }
};

TEST_F(Resources, LoadStringCopiesAtMostTheBufferLessOne) {
  struct {
    UINT id;
    int buffer_chars;
    int count;
    std::u16string text;
  } const cases[] = {
      {1, 100, 12, u"QUELT_VER120"},
      {1, 13, 12, u"QUELT_VER120"},
      {1, 12, 11, u"QUELT_VER12"},
      {1, 2, 1, u"Q"},
      {1, 1, 0, u""},
      {7, 10, 0, u""},
      {99, 10, 0, u""},
  };
  for (const auto& c : cases) {
    WCHAR buffer[128];
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    EXPECT_EQ(LoadStringW(kInstance, c.id, buffer, c.buffer_chars), c.count) << c.buffer_chars;
    EXPECT_EQ(std::u16string(buffer), c.text) << c.buffer_chars;
    EXPECT_EQ(buffer[c.buffer_chars], u'#') << "wrote past the buffer of " << c.buffer_chars;
  }
}

TEST_F(Resources, LoadStringRefusesMisuse) {
  WCHAR buffer[4] = {u'#', u'#', u'#', u'#'};
  EXPECT_EQ(LoadStringW(kInstance, 1, nullptr, 10), 0);
  EXPECT_EQ(LoadStringW(kInstance, 1, buffer, 0), 0);
  EXPECT_EQ(LoadStringW(kInstance, 1, buffer, -5), 0);
  EXPECT_EQ(buffer[0], u'#');
  SetResourceTable(nullptr);
  EXPECT_EQ(LoadStringW(kInstance, 1, buffer, 4), 0);
  EXPECT_EQ(buffer[0], 0);
}

TEST_F(Resources, IconsCursorsAndStockObjects) {
  HICON icon = LoadIconW(kInstance, MAKEINTRESOURCEW(101));
  ASSERT_NE(icon, nullptr);
  ASSERT_NE(platform::IconResource(icon), nullptr);
  EXPECT_EQ(platform::IconResource(icon)->data, kIconBytes);
  EXPECT_EQ(LoadIconW(kInstance, MAKEINTRESOURCEW(102)), nullptr);
  EXPECT_EQ(LoadIconW(kInstance, u"named"), nullptr);
  EXPECT_NE(LoadIconW(nullptr, MAKEINTRESOURCEW(32512)), nullptr);  // IDI_APPLICATION
  EXPECT_EQ(platform::IconResource(LoadIconW(nullptr, MAKEINTRESOURCEW(32512))), nullptr);

  EXPECT_NE(LoadCursorW(nullptr, IDC_ARROW), nullptr);
  EXPECT_EQ(LoadCursorW(kInstance, IDC_ARROW), nullptr);  // the program has no cursors
  EXPECT_EQ(LoadCursorW(nullptr, MAKEINTRESOURCEW(5)), nullptr);

  HGDIOBJ black = GetStockObject(BLACK_BRUSH);
  ASSERT_NE(black, nullptr);
  EXPECT_EQ(platform::StockObjectIndex(black), BLACK_BRUSH);
  EXPECT_EQ(GetStockObject(BLACK_BRUSH), black);
  for (int missing : {-1, 9, 20, 1000}) EXPECT_EQ(GetStockObject(missing), nullptr) << missing;
  EXPECT_EQ(platform::StockObjectIndex(nullptr), -1);
  EXPECT_EQ(platform::StockObjectIndex(reinterpret_cast<HGDIOBJ>(platform::kStockObjectBase + 9)),
            -1);
}

std::vector<UINT> commands;

TEST_F(Resources, ControlKeysBecomeCommands) {
  platform::testing::ForceHeadlessDisplay();
  platform::test::RegisterScriptedClass(u"AccelTest", [](HWND, UINT message, WPARAM w, LPARAM) {
    if (message == WM_COMMAND) commands.push_back(static_cast<UINT>(w));
    return LRESULT{0};
  });
  HWND window = platform::test::CreateScriptedWindow(u"AccelTest");
  ASSERT_NE(window, nullptr);
  HACCEL table = LoadAcceleratorsW(kInstance, MAKEINTRESOURCEW(2));
  ASSERT_NE(table, nullptr);

  struct {
    const char* name;
    UINT message;
    WPARAM key;
    LPARAM modifiers;
    int consumed;
    UINT command;  // wParam of the WM_COMMAND sent
  } const cases[] = {
      {"Ctrl+A", WM_KEYDOWN, 'A', platform::kKeyControlDown, 1, 0x19C42},
      {"Ctrl+Q", WM_KEYDOWN, 'Q', platform::kKeyControlDown, 1, 0x10001},
      {"A alone", WM_KEYDOWN, 'A', 0, 0, 0},
      {"Ctrl+Shift+A", WM_KEYDOWN, 'A', platform::kKeyControlDown | platform::kKeyShiftDown, 0, 0},
      {"Ctrl+Alt+Q", WM_KEYDOWN, 'Q', platform::kKeyControlDown | platform::kKeyAltDown, 0, 0},
      {"Ctrl+B", WM_KEYDOWN, 'B', platform::kKeyControlDown, 0, 0},
      {"key up", WM_KEYUP, 'A', platform::kKeyControlDown, 0, 0},
      {"pen", WM_LBUTTONDOWN, 'A', platform::kKeyControlDown, 0, 0},
  };
  for (const auto& c : cases) {
    commands.clear();
    MSG msg{window, c.message, c.key, c.modifiers | 0x1E0001, 0, {0, 0}};
    EXPECT_EQ(TranslateAcceleratorW(window, table, &msg), c.consumed) << c.name;
    EXPECT_EQ(commands, c.consumed ? std::vector<UINT>{c.command} : std::vector<UINT>{}) << c.name;
  }

  MSG ctrl_a{window, WM_KEYDOWN, 'A', platform::kKeyControlDown, 0, {0, 0}};
  EXPECT_EQ(TranslateAcceleratorW(window, table, nullptr), 0);
  EXPECT_EQ(TranslateAcceleratorW(nullptr, table, &ctrl_a), 0);
  EXPECT_EQ(TranslateAcceleratorW(window, nullptr, &ctrl_a), 0);
  EXPECT_EQ(TranslateAcceleratorW(window, reinterpret_cast<HACCEL>(0x1234), &ctrl_a), 0);
  EXPECT_EQ(LoadAcceleratorsW(kInstance, MAKEINTRESOURCEW(3)), nullptr);
  DestroyWindow(window);
  EXPECT_EQ(TranslateAcceleratorW(window, table, &ctrl_a), 0);
}

}  // namespace
