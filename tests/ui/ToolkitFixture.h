// Shared set-up of the toolkit's tests: headless hosts at 96 dpi in light mode, and a canvas with fixed text metrics.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "KVL/UI/Application.h"
#include "KVL/UI/Canvas.h"
#include "KVL/UI/HeadlessHost.h"

namespace ToolkitTest {

// Every test starts from the same program-wide state and leaves it so.
class TToolkitTest : public ::testing::Test {
protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }

  static void Reset() {
    KVL::UI::TKVLApplication::SetHostFactory(&KVL::UI::CreateHeadlessHost);
    KVL::UI::TKVLApplication::SetScreenDpi(96);
    KVL::UI::TKVLApplication::SetDarkMode(false);
    KVL::UI::SetHeadlessModalHandler({});
  }
};

// A canvas that draws nothing and measures every character (byte) CharWidth pixels wide and
// every line LineHeight high, so that layout tests do not depend on installed fonts.
class TFixedMetricsCanvas : public KVL::UI::IKVLCanvas {
public:
  static constexpr int CharWidth = 7;
  static constexpr int LineHeight = 15;

  int Dpi() const override { return 96; }
  void Save() override {}
  void Restore() override {}
  void Translate(int, int) override {}
  void IntersectClip(const KVL::UI::TKVLRect&) override {}
  void FillRect(const KVL::UI::TKVLRect&, KVL::UI::TKVLColor) override {}
  void FillGradientV(const KVL::UI::TKVLRect&, KVL::UI::TKVLColor, KVL::UI::TKVLColor) override {}
  void FrameRect(const KVL::UI::TKVLRect&, KVL::UI::TKVLColor) override {}
  void DrawLine(KVL::UI::TKVLPoint, KVL::UI::TKVLPoint, KVL::UI::TKVLColor) override {}
  void DrawPicture(const KVL::UI::TKVLBitmap&, const KVL::UI::TKVLRect&) override {}
  void DrawText(const std::string& text, const KVL::UI::TKVLRect&, const KVL::UI::TKVLFont&, KVL::UI::TKVLColor,
                KVL::UI::TKVLTextAlign, KVL::UI::TKVLVerticalAlign) override {
    Texts.push_back(text);
  }
  KVL::UI::TKVLSize MeasureText(const std::string& text, const KVL::UI::TKVLFont&) override {
    return {static_cast<int>(text.size()) * CharWidth, LineHeight};
  }

  std::vector<std::string> Texts;  // what DrawText was given, in order
};

} // namespace ToolkitTest
