// A label that opens its web address when clicked and lights up while the pointer is over it.
#pragma once

#include <cstdint>

#include "controls/ctlBase.h"
#include "platform/classlib/StdCtrls.h"

class TCtlURL : public TCustomLabel {
public:
  explicit TCtlURL(TComponent* AOwner);
  ~TCtlURL() override;
  AnsiString ClassName() const override { return "TCtlURL"; }

  AnsiString About() const { return CtlLibraryVersion; }
  void SetAbout(const AnsiString&) {}
  const AnsiString& URL() const { return FURL; }
  void SetURL(const AnsiString& Value);
  // The text shown is Caption, or URL while Caption is empty.
  const AnsiString& Caption() const { return FCaption; }
  void SetCaption(const AnsiString& Value) { SetText(Value); }
  void SetText(const AnsiString& v) override;
  TColor HighlightColor() const { return FHighlightColor; }
  // clNone means the font's colour of the moment.
  void SetHighlightColor(TColor Value);
  TColor VisitedColor() const { return FVisitedColor; }
  void SetVisitedColor(TColor Value);
  bool UseVisitedColor() const { return FUseVisitedColor; }
  void SetUseVisitedColor(bool Value) { FUseVisitedColor = Value; }
  bool Hovering() const { return FHoverTimer != 0; }

  void Click() override;

protected:
  void Loaded() override;
  void MouseMove(TShiftState shift, int x, int y) override;

private:
  static constexpr TColor NoSavedColor = clNone;
  void showText();
  void hoverTick();
  void endHover();

  AnsiString FURL;
  AnsiString FCaption;
  TColor FHighlightColor = clRed;
  TColor FVisitedColor = clRed;
  bool FUseVisitedColor = false;
  TColor FSavedColor = NoSavedColor;
  uintptr_t FHoverTimer = 0;
};
