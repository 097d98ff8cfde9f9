// Helpers of the dialog and edit tests: controls by name, the headless host of a form.
#pragma once

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "KVL/UI/Control.h"
#include "KVL/UI/Form.h"
#include "KVL/UI/HeadlessHost.h"

namespace DialogsTest {

// The control named name among root's owned controls, at any depth; a failed test without one.
template <class T>
T* FindNamed(KVL::UI::TKVLControl& root, const std::string& name) {
  for (int i = 0; i < root.ComponentCount(); ++i) {
    KVL::UI::TKVLControl* c = root.Components(i);
    if (c->Name() == name) {
      auto* typed = dynamic_cast<T*>(c);
      EXPECT_NE(typed, nullptr) << name;
      return typed;
    }
    if (T* inner = FindNamed<T>(*c, name)) return inner;
  }
  return nullptr;
}

// The headless host of a form that has one.
inline KVL::UI::TKVLHeadlessHost& HostOf(KVL::UI::TKVLForm& form) {
  KVL::UI::TKVLHeadlessHost* host = KVL::UI::HeadlessHostOf(form);
  if (host == nullptr) throw std::logic_error("form without a headless host");
  return *host;
}

} // namespace DialogsTest
