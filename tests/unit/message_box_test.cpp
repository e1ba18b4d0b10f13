// Message boxes without a person: printed to stderr, answered by the default button.
#include <gtest/gtest.h>

#include "kpl/platform/message_box.h"

namespace {

TEST(MessageBoxTest, DefaultButtonAnswersAndTheBoxIsPrinted) {
  struct Case {
    uint32_t style;
    int32_t answer;
    const char* buttons;
  };
  const Case cases[] = {
      {MB_OK, IDOK, "[OK] -> OK"},
      {MB_OK | MB_ICONEXCLAMATION, IDOK, "[OK] -> OK"},
      {MB_OKCANCEL, IDOK, "[OK] Cancel -> OK"},
      {MB_OKCANCEL | MB_DEFBUTTON2, IDCANCEL, "OK [Cancel] -> Cancel"},
      {MB_YESNO, IDYES, "[Yes] No -> Yes"},
      {MB_YESNO | MB_DEFBUTTON2, IDNO, "Yes [No] -> No"},
      {MB_YESNOCANCEL | MB_DEFBUTTON3, IDCANCEL, "Yes No [Cancel] -> Cancel"},
      {MB_ABORTRETRYIGNORE | MB_DEFBUTTON2, IDRETRY, "Abort [Retry] Ignore -> Retry"},
      {MB_RETRYCANCEL, IDRETRY, "[Retry] Cancel -> Retry"},
      {MB_CANCELTRYCONTINUE | MB_DEFBUTTON3, IDCONTINUE, "Cancel Try Again [Continue] -> Continue"},
      // A default button the box does not have falls back to the first.
      {MB_OK | MB_DEFBUTTON3, IDOK, "[OK] -> OK"},
  };
  for (const Case& c : cases) {
    const uint32_t before = MessageBoxCount();
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBoxA(0, "Something happened", "Caption", c.style), c.answer);
    const std::string printed = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(printed,
              std::string("message box \"Caption\": Something happened  ") + c.buttons + "\n");
    EXPECT_EQ(MessageBoxCount(), before + 1);
  }
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(MessageBoxA(0, nullptr, nullptr, MB_OK), IDOK);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "message box \"Error\":   [OK] -> OK\n");
  // An unknown button set answers 0 and shows nothing.
  const uint32_t before = MessageBoxCount();
  EXPECT_EQ(MessageBoxA(0, "text", "caption", 0x0000000F), 0);
  EXPECT_EQ(MessageBoxCount(), before);
}

}  // namespace
