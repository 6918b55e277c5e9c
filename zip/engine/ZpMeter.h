// The zip library's block-style progress bar: a row (or column) of up to 19 blocks, one per five
// percent, that the zip components feed while they work.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/gdi/Colors.h"
#include "platform/gdi/DeviceContext.h"
#include "platform/gdi/GdiTypes.h"
#include "platform/rtl/AnsiString.h"
#include "platform/classlib/Controls.h"

enum class TZpMeterBorder : uint8_t { bsNone, bsSingle };
enum TZpMeterOrientation : uint8_t { moHorizontal, moVertical };

// What the painting needs to know of a meter.
struct TZpMeterLook {
  TZpMeterBorder BorderStyle = TZpMeterBorder::bsSingle;
  bool Ctl3D = true;
  TZpMeterOrientation Orientation = moHorizontal;
  TColorRef UnusedColor = clBtnFace;
  TColorRef UsedColor = clNavy;
};

// Size of one block for a client area of the given size.
int ZpMeterBlockSize(const TRect& client, TZpMeterOrientation orientation);
// Paints the meter into client: background, percent div 5 blocks, then the frame.
void ZpPaintMeter(TDeviceContext& dc, const TRect& client, const TZpMeterLook& look, uint8_t percent);

// A graphic control: it paints into its parent's window and has none of its own.
class TZpCustomMeter : public TGraphicControl {
public:
  static constexpr int DefaultWidth = 150;
  static constexpr int DefaultHeight = 16;

  explicit TZpCustomMeter(TComponent* AOwner);
  AnsiString ClassName() const override { return "TZpCustomMeter"; }

  TZpMeterBorder BorderStyle() const { return FLook.BorderStyle; }
  void SetBorderStyle(TZpMeterBorder Value);
  bool Ctl3D() const { return FLook.Ctl3D; }
  void SetCtl3D(bool Value);
  TZpMeterOrientation Orientation() const { return FLook.Orientation; }
  // Turns the meter: width and height swap, except while the form is loading.
  void SetOrientation(TZpMeterOrientation Value);
  TColorRef UnusedColor() const { return FLook.UnusedColor; }
  void SetUnusedColor(TColorRef Value);
  TColorRef UsedColor() const { return FLook.UsedColor; }
  void SetUsedColor(TColorRef Value);
  const TZpMeterLook& Look() const { return FLook; }
  AnsiString Version() const;
  void SetVersion(const AnsiString&) {}

  uint8_t Percent() const { return FPercent; }
  // 100 and above show an empty bar. Repaints at once and lets pending messages run.
  void DoProgress(uint8_t Percent);
  void Reset() { DoProgress(0); }

protected:
  void Paint() override;

private:
  TZpMeterLook FLook;
  uint8_t FPercent = 0;
};

class TZpMeter final : public TZpCustomMeter {
public:
  using TZpCustomMeter::TZpCustomMeter;
  AnsiString ClassName() const override { return "TZpMeter"; }
};
