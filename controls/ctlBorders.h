// The four border lines an entry field may draw over its face.
#pragma once

#include <functional>

#include "platform/classlib/Classes.h"
#include "platform/classlib/Graphics.h"

enum TCtlBorderStyle : uint8_t { bpsSolid };

class TCtlBorder : public TPersistent {
public:
  AnsiString ClassName() const override { return "TCtlBorder"; }
  // Copies everything but BorderStyle.
  void Assign(const TPersistent* Source) override;

  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  TColor PenColor() const { return FPenColor; }
  void SetPenColor(TColor Value);
  TPenStyle PenStyle() const { return FPenStyle; }
  void SetPenStyle(TPenStyle Value);
  int PenWidth() const { return FPenWidth; }
  // Widths of 0 and below are ignored.
  void SetPenWidth(int Value);
  TCtlBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TCtlBorderStyle Value);
  // The width the border takes from the face: its pen width while enabled.
  int Inset() const { return FEnabled ? FPenWidth : 0; }

  std::function<void()> OnChange;

private:
  void changed() {
    if (OnChange) OnChange();
  }

  bool FEnabled = false;
  TColor FPenColor = clBlack;
  TPenStyle FPenStyle = psSolid;
  int FPenWidth = 2;
  TCtlBorderStyle FBorderStyle = bpsSolid;
};

class TCtlBorders : public TPersistent {
public:
  TCtlBorders();
  AnsiString ClassName() const override { return "TCtlBorders"; }
  void Assign(const TPersistent* Source) override;

  TCtlBorder& LeftBorder() { return FLeft; }
  TCtlBorder& RightBorder() { return FRight; }
  TCtlBorder& TopBorder() { return FTop; }
  TCtlBorder& BottomBorder() { return FBottom; }
  const TCtlBorder& LeftBorder() const { return FLeft; }
  const TCtlBorder& RightBorder() const { return FRight; }
  const TCtlBorder& TopBorder() const { return FTop; }
  const TCtlBorder& BottomBorder() const { return FBottom; }

  // Draws the enabled lines over a face of the given size: left and top at half the pen width from
  // the edge, right and bottom at the size less half the pen width, a pixel further in for odd widths.
  void Draw(TCanvas& Canvas, int Width, int Height) const;

  // Any change of one of the four.
  std::function<void()> OnChange;

private:
  TCtlBorder FLeft;
  TCtlBorder FRight;
  TCtlBorder FTop;
  TCtlBorder FBottom;
};
