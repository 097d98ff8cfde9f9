// The message dialog's replaceable handler and the style and answer rules both backends share.
#include "KVL/Base/Platform/MessageBox.h"

#include <mutex>
#include <utility>

#include "KVL/Base/Platform/MessageBoxDetail.h"

namespace KVL::Platform {

namespace {

std::mutex gHandlerLock;
TMessageDialogHandler gHandler;

// Windows' numbers, so that the style means the same on every system.
constexpr uint32_t kMbOk = 0x0, kMbOkCancel = 0x1, kMbAbortRetryIgnore = 0x2, kMbYesNo = 0x4;
constexpr uint32_t kMbIconError = 0x10, kMbIconQuestion = 0x20, kMbIconWarning = 0x30, kMbIconInformation = 0x40;
constexpr uint32_t kMbDefButton2 = 0x100, kMbDefButton3 = 0x200;

} // namespace

int MessageDlg(const std::string& text, const std::string& caption, TMsgDlgType type, TMsgDlgButtons buttons,
               int defaultResult) {
  TMessageDialogHandler handler;
  {
    std::lock_guard<std::mutex> guard(gHandlerLock);
    handler = gHandler;
  }
  // Called outside the lock: a handler may show another dialog.
  if (handler) return handler(text, caption, type, buttons, defaultResult);
  return Detail::PlatformMessageDlg(text, caption, type, buttons, defaultResult);
}

TMessageDialogHandler SetMessageDialogHandler(TMessageDialogHandler handler) {
  std::lock_guard<std::mutex> guard(gHandlerLock);
  return std::exchange(gHandler, std::move(handler));
}

namespace Detail {

uint32_t MessageBoxStyle(TMsgDlgType type, TMsgDlgButtons buttons, int defaultResult) {
  uint32_t style = 0;
  switch (type) {
    case TMsgDlgType::mtWarning: style = kMbIconWarning; break;
    case TMsgDlgType::mtError: style = kMbIconError; break;
    case TMsgDlgType::mtInformation: style = kMbIconInformation; break;
    case TMsgDlgType::mtConfirmation: style = kMbIconQuestion; break;
  }
  int second = mrNone, third = mrNone;
  switch (buttons) {
    case TMsgDlgButtons::mbOK: style |= kMbOk; break;
    case TMsgDlgButtons::mbOKCancel:
      style |= kMbOkCancel;
      second = mrCancel;
      break;
    case TMsgDlgButtons::mbAbortRetryIgnore:
      style |= kMbAbortRetryIgnore;
      second = mrRetry;
      third = mrIgnore;
      break;
    case TMsgDlgButtons::mbYesNo:
      style |= kMbYesNo;
      second = mrNo;
      break;
  }
  if (defaultResult != mrNone && defaultResult == second) style |= kMbDefButton2;
  if (defaultResult != mrNone && defaultResult == third) style |= kMbDefButton3;
  return style;
}

int UnattendedAnswer(TMsgDlgButtons buttons) {
  switch (buttons) {
    case TMsgDlgButtons::mbAbortRetryIgnore: return mrAbort;
    case TMsgDlgButtons::mbOKCancel: return mrCancel;
    case TMsgDlgButtons::mbYesNo: return mrNo;
    case TMsgDlgButtons::mbOK: break;
  }
  return mrOk;
}

} // namespace Detail

} // namespace KVL::Platform
