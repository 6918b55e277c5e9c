// The display of tests: nothing leaves the process, input comes only from the injection calls,
// and the screen is a fixed 1024 x 768 desktop.
#pragma once

#include "platform/win/DisplayBackend.h"

class THeadlessBackend final : public TDisplayBackend {
public:
  void WaitInput(int timeoutMs) override;
  std::optional<AnsiString> ClipboardText() override { return FClipboard; }
  void SetClipboardText(const std::optional<AnsiString>& text) override { FClipboard = text; }
  TRect ScreenRect() const override { return TRect{0, 0, ScreenWidth, ScreenHeight}; }
  TRect WorkArea() const override { return FWorkArea; }
  void SetCursorShape(int cursor) override { FCursorShape = cursor; }
  void Reset() override;

  // For tests: the work area a desktop with panels would report, and the shape last shown.
  void SetWorkArea(const TRect& r) { FWorkArea = r; }
  int CursorShape() const { return FCursorShape; }

  static constexpr int ScreenWidth = 1024;
  static constexpr int ScreenHeight = 768;

private:
  std::optional<AnsiString> FClipboard;
  TRect FWorkArea{0, 0, ScreenWidth, ScreenHeight};
  int FCursorShape = 0;
};
