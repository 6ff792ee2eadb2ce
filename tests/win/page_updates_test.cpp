// PageUpdates: every update that waits has a message on its way to the page.
#include "app/report/page_updates.h"

#include <gtest/gtest.h>

namespace {

int TakeMessages(HWND window) {
  int count = 0;
  MSG message;
  while (PeekMessageA(&message, window, kPageUpdateMessage, kPageUpdateMessage, PM_REMOVE)) {
    ++count;
  }
  return count;
}

TEST(PageUpdatesTest, AKindTakenWhileAnotherWaitsIsToldAgain) {
  HWND window =
      CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  PageUpdates updates;
  updates.Open(window);
  std::string text;
  updates.Send({PageUpdate::Kind::ProgressLine, "1 KiB"});
  updates.Send({PageUpdate::Kind::StatusText, "retry"});
  ASSERT_GE(TakeMessages(window), 1);
  // The page, handling that message, has taken the line but not yet the status when a newer
  // line comes: it needs a message of its own.
  ASSERT_TRUE(updates.Take(PageUpdate::Kind::ProgressLine, &text));
  updates.Send({PageUpdate::Kind::ProgressLine, "2 KiB"});
  EXPECT_EQ(TakeMessages(window), 1);
  // One that replaces a line still waiting needs none.
  updates.Send({PageUpdate::Kind::ProgressLine, "3 KiB"});
  EXPECT_EQ(TakeMessages(window), 0);
  ASSERT_TRUE(updates.Take(PageUpdate::Kind::StatusText, &text));
  ASSERT_TRUE(updates.Take(PageUpdate::Kind::ProgressLine, &text));
  EXPECT_EQ(text, "3 KiB");
  updates.Close();
  DestroyWindow(window);
}

}  // namespace
