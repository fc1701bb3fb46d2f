// Window classes as the entry point registers them (the extended record,
// the dialog class copied under a new name), registered messages, and the
// paint calls.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/window/cursor.h"
#include "platform/window/window.h"

namespace {

std::vector<UINT> g_messages;

LRESULT countingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  g_messages.push_back(message);
  return DefWindowProcA(window, message, wParam, lParam);
}

class WindowClassTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetWindowSystem();
    g_messages.clear();
  }
  void TearDown() override { resetWindowSystem(); }
  static WNDCLASSEXA mainClass() {
    WNDCLASSEXA c{};
    c.cbSize = sizeof c;
    c.style = CS_HREDRAW | CS_VREDRAW;
    c.lpfnWndProc = countingProc;
    c.hCursor = LoadCursorA(nullptr, IDC_CROSS);
    c.hbrBackground = reinterpret_cast<void*>(std::uintptr_t{COLOR_WINDOW + 1});
    c.lpszClassName = "Orbivane";
    return c;
  }
};

TEST_F(WindowClassTest, AnExtendedClassIsKeptWholeAndFoundByNameOrAtom) {
  const WNDCLASSEXA c = mainClass();
  const ATOM atom = RegisterClassExA(&c);
  ASSERT_NE(atom, 0);
  EXPECT_EQ(RegisterClassExA(&c), 0);  // once per name, whatever its case
  WNDCLASSEXA wrongSize = c;
  wrongSize.cbSize = 4;
  wrongSize.lpszClassName = "Other";
  EXPECT_EQ(RegisterClassExA(&wrongSize), 0);

  WNDCLASSEXA found{};
  ASSERT_TRUE(GetClassInfoExA(nullptr, "ORBIVANE", &found));
  EXPECT_EQ(found.style, CS_HREDRAW | CS_VREDRAW);
  EXPECT_EQ(found.lpfnWndProc, countingProc);
  EXPECT_EQ(found.hCursor, LoadCursorA(nullptr, IDC_CROSS));
  EXPECT_NE(found.hCursor, nullptr);
  EXPECT_NE(found.hCursor, LoadCursorA(nullptr, IDC_ARROW));
  EXPECT_STREQ(found.lpszClassName, "ORBIVANE");
  WNDCLASSEXA byAtom{};
  EXPECT_TRUE(GetClassInfoExA(nullptr, MAKEINTATOM(atom), &byAtom));
  EXPECT_EQ(byAtom.lpfnWndProc, countingProc);
  EXPECT_FALSE(GetClassInfoExA(nullptr, "Missing", &byAtom));
}

TEST_F(WindowClassTest, TheDialogClassCanBeCopiedUnderANewName) {
  WNDCLASSEXA dialog{};
  dialog.cbSize = sizeof dialog;
  ASSERT_TRUE(GetClassInfoExA(nullptr, MAKEINTATOM(kDialogClassAtom), &dialog));
  EXPECT_EQ(dialog.lpfnWndProc, DefWindowProcA);
  dialog.hIcon = nullptr;
  dialog.lpszClassName = "TessalineSetup";
  EXPECT_NE(RegisterClassExA(&dialog), 0);
  EXPECT_TRUE(GetClassInfoExA(nullptr, "tessalinesetup", &dialog));
  // The system's class cannot be taken over.
  dialog.lpszClassName = "#32770";
  EXPECT_EQ(RegisterClassExA(&dialog), 0);
  EXPECT_FALSE(UnregisterClassA(MAKEINTATOM(kDialogClassAtom), nullptr));
  // It survives a reset of the window system.
  resetWindowSystem();
  EXPECT_TRUE(GetClassInfoExA(nullptr, "#32770", &dialog));
  EXPECT_FALSE(GetClassInfoExA(nullptr, "TessalineSetup", &dialog));
}

TEST_F(WindowClassTest, ARegisteredMessageIsOneNumberPerName) {
  const UINT id = RegisterWindowMessageA("{9C412CD6-3A6C-436b-B7DC-567B8D9E08C7}");
  EXPECT_GE(id, 0xC000u);
  EXPECT_LE(id, 0xFFFFu);
  EXPECT_EQ(RegisterWindowMessageA("{9c412cd6-3a6c-436B-b7dc-567b8d9e08c7}"), id);
  EXPECT_NE(RegisterWindowMessageA("another"), id);
  EXPECT_EQ(RegisterWindowMessageA(""), 0u);
  resetWindowSystem();
  EXPECT_EQ(RegisterWindowMessageA("{9C412CD6-3A6C-436b-B7DC-567B8D9E08C7}"), id);
  // Thread messages reach nobody, least of all another process.
  EXPECT_FALSE(PostThreadMessageA(12345, id, 0, 0));
}

TEST_F(WindowClassTest, UpdateWindowPaintsAtOnceAndValidateRectDropsAQueuedPaint) {
  const WNDCLASSEXA c = mainClass();
  ASSERT_NE(RegisterClassExA(&c), 0);
  HWND window =
      CreateWindowExA(0, "Orbivane", "paint", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr) << "run under xvfb-run";
  g_messages.clear();
  EXPECT_TRUE(UpdateWindow(window));
  EXPECT_EQ(g_messages, std::vector<UINT>{WM_PAINT});

  PostMessageA(window, WM_PAINT, 0, 0);
  PostMessageA(window, WM_USER, 0, 0);
  EXPECT_TRUE(ValidateRect(window, nullptr));
  MSG msg{};
  ASSERT_TRUE(PeekMessageA(&msg, window, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_USER);
  EXPECT_FALSE(PeekMessageA(&msg, window, WM_PAINT, WM_PAINT, PM_REMOVE));

  EXPECT_FALSE(UpdateWindow(nullptr));
  EXPECT_EQ(SetFocus(nullptr), nullptr);
  DestroyWindow(window);
}

TEST_F(WindowClassTest, ADialogClassWindowUsesTheDefaultProcedure) {
  HWND dialog = CreateWindowExA(0, MAKEINTATOM(kDialogClassAtom), "dialog", 0, 0, 0, 100, 100, nullptr, nullptr,
                                nullptr, nullptr);
  ASSERT_NE(dialog, nullptr);
  SendMessageA(dialog, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(dialog));
}

}  // namespace
