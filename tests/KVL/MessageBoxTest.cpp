// The message dialog: the replaceable handler, the system box's style, the unattended answer.
#include <gtest/gtest.h>

#include <string>

#include "KVL/Base/Platform/MessageBox.h"
#include "KVL/Base/Platform/MessageBoxDetail.h"

using namespace KVL::Platform;

TEST(MessageDialog, InstalledHandlerReceivesTheDialogAndAnswers) {
  struct TSeen {
    std::string Text, Caption;
    TMsgDlgType Type;
    TMsgDlgButtons Buttons;
    int Default;
  } seen{};
  auto handler = [&](const std::string& text, const std::string& caption, TMsgDlgType type, TMsgDlgButtons buttons,
                     int defaultResult) {
    seen = {text, caption, type, buttons, defaultResult};
    return static_cast<int>(mrRetry);
  };
  TMessageDialogHandler before = SetMessageDialogHandler(handler);
  EXPECT_FALSE(before);  // the platform's dialog by default
  EXPECT_EQ(MessageDlg("Cannot replace\nONDU.exe", "Setup", TMsgDlgType::mtError, TMsgDlgButtons::mbAbortRetryIgnore,
                       mrIgnore),
            mrRetry);
  EXPECT_EQ(seen.Text, "Cannot replace\nONDU.exe");
  EXPECT_EQ(seen.Caption, "Setup");
  EXPECT_EQ(seen.Type, TMsgDlgType::mtError);
  EXPECT_EQ(seen.Buttons, TMsgDlgButtons::mbAbortRetryIgnore);
  EXPECT_EQ(seen.Default, mrIgnore);
  // Restoring hands back the handler that was installed.
  TMessageDialogHandler previous = SetMessageDialogHandler(before);
  ASSERT_TRUE(previous);
  EXPECT_EQ(previous("t", "c", TMsgDlgType::mtWarning, TMsgDlgButtons::mbOK, mrOk), mrRetry);
  EXPECT_FALSE(SetMessageDialogHandler(nullptr));
}

TEST(MessageDialog, SystemBoxStyleNamesIconButtonsAndDefault) {
  struct TCase {
    TMsgDlgType Type;
    TMsgDlgButtons Buttons;
    int Default;
    uint32_t Style;
  };
  const TCase cases[] = {
      {TMsgDlgType::mtError, TMsgDlgButtons::mbOK, mrOk, 0x10},  // the error icon is 16
      {TMsgDlgType::mtWarning, TMsgDlgButtons::mbAbortRetryIgnore, mrAbort, 0x30 | 0x2},
      {TMsgDlgType::mtWarning, TMsgDlgButtons::mbAbortRetryIgnore, mrRetry, 0x30 | 0x2 | 0x100},
      {TMsgDlgType::mtWarning, TMsgDlgButtons::mbAbortRetryIgnore, mrIgnore, 0x30 | 0x2 | 0x200},
      {TMsgDlgType::mtConfirmation, TMsgDlgButtons::mbYesNo, mrNo, 0x20 | 0x4 | 0x100},
      {TMsgDlgType::mtInformation, TMsgDlgButtons::mbOKCancel, mrCancel, 0x40 | 0x1 | 0x100},
      {TMsgDlgType::mtInformation, TMsgDlgButtons::mbOKCancel, mrNone, 0x40 | 0x1},
      {TMsgDlgType::mtConfirmation, TMsgDlgButtons::mbYesNo, mrCancel, 0x20 | 0x4},  // not offered: the first
  };
  for (const TCase& c : cases)
    EXPECT_EQ(Detail::MessageBoxStyle(c.Type, c.Buttons, c.Default), c.Style) << c.Style;
}

#ifndef _WIN32

TEST(MessageDialog, WithoutDisplayWritesToStandardErrorAndTakesTheCautiousAnswer) {
  struct TCase {
    TMsgDlgButtons Buttons;
    int Default;
    int Answer;
  };
  const TCase cases[] = {
      {TMsgDlgButtons::mbAbortRetryIgnore, mrRetry, mrAbort},
      {TMsgDlgButtons::mbOKCancel, mrOk, mrCancel},
      {TMsgDlgButtons::mbYesNo, mrYes, mrNo},
      {TMsgDlgButtons::mbOK, mrOk, mrOk},
  };
  for (const TCase& c : cases) {
    testing::internal::CaptureStderr();
    const int answer = MessageDlg("Remove ONDU?", "Setup", TMsgDlgType::mtConfirmation, c.Buttons, c.Default);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(answer, c.Answer);
    EXPECT_EQ(err, "Setup: Remove ONDU?\n");
  }
}

#endif
