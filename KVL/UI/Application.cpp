// Program-wide toolkit state: host factory, screen scale, dark mode, the form list, main loop and deferred calls.
#include "KVL/UI/Application.h"

#include <algorithm>
#include <deque>
#include <memory>

#include "KVL/Base/Platform/Event.h"
#include "KVL/Base/Platform/Messaging.h"
#include "KVL/UI/Form.h"
#include "KVL/UI/HeadlessHost.h"

namespace KVL::UI {

namespace {

struct TApplicationState {
  THostFactory factory = &CreateHeadlessHost;
  int screenDpi = 96;
  bool dark = false;
  TKVLForm* mainForm = nullptr;
  std::vector<TKVLForm*> forms;
};

TApplicationState& State() {
  static TApplicationState state;
  return state;
}

// Deferred calls: a queue whose event a dispatch watch of the main thread serves.
class TPostQueue {
public:
  TPostQueue() : watch_(event_.Handle(), [this] { RunPending(); }) {}

  void Add(std::function<void()> fn) {
    queue_.push_back(std::move(fn));
    event_.Set();
  }

private:
  void RunPending() {
    event_.Reset();
    // Only what was queued before this round; calls posted meanwhile wait for the next one.
    size_t count = queue_.size();
    while (count-- > 0 && !queue_.empty()) {
      std::function<void()> fn = std::move(queue_.front());
      queue_.pop_front();
      try {
        fn();
      } catch (...) {
        if (!queue_.empty()) event_.Set();
        throw;
      }
    }
    if (!queue_.empty()) event_.Set();
  }

  KVL::Platform::TPlatformEvent event_;
  std::deque<std::function<void()>> queue_;
  KVL::Platform::TDispatchWatch watch_;
};

TPostQueue& PostQueue() {
  static TPostQueue queue;
  return queue;
}

} // namespace

void TKVLApplication::SetHostFactory(THostFactory factory) { State().factory = factory ? factory : &CreateHeadlessHost; }

std::unique_ptr<IKVLWindowHost> TKVLApplication::CreateHost(TKVLForm& form) { return State().factory(form); }

bool TKVLApplication::UsesHeadlessHosts() { return State().factory == &CreateHeadlessHost; }

int TKVLApplication::ScreenDpi() { return State().screenDpi; }

void TKVLApplication::SetScreenDpi(int dpi) {
  if (dpi > 0) State().screenDpi = dpi;
}

bool TKVLApplication::IsDarkMode() { return State().dark; }

void TKVLApplication::SetDarkMode(bool dark) {
  if (State().dark == dark) return;
  State().dark = dark;
  // A form's handler may create or free forms; tell those that still exist.
  std::vector<TKVLForm*> forms = State().forms;
  for (TKVLForm* form : forms) {
    const auto& now = State().forms;
    if (std::find(now.begin(), now.end(), form) != now.end()) form->ColorSchemeChanged();
  }
}

void TKVLApplication::Run(TKVLForm& mainForm) {
  State().mainForm = &mainForm;
  mainForm.Show();
  KVL::Platform::RunMessageLoop();
}

void TKVLApplication::Terminate() { KVL::Platform::QuitMessageLoop(); }

TKVLForm* TKVLApplication::MainForm() { return State().mainForm; }

void TKVLApplication::Post(std::function<void()> fn) { PostQueue().Add(std::move(fn)); }

void TKVLApplication::RegisterForm(TKVLForm* form) { State().forms.push_back(form); }

void TKVLApplication::UnregisterForm(TKVLForm* form) {
  auto& forms = State().forms;
  forms.erase(std::remove(forms.begin(), forms.end(), form), forms.end());
  if (State().mainForm == form) State().mainForm = nullptr;
}

const std::vector<TKVLForm*>& TKVLApplication::Forms() { return State().forms; }

} // namespace KVL::UI
