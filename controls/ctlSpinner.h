// The spin button: up to five pressable regions in one of eight shapes that step the value of an
// attached control, repeating while the mouse button is held.
#pragma once

#include <array>
#include <functional>

#include "controls/ctlCustomControl.h"
#include "platform/gdi/Region.h"

enum TCtlSpinnerStyle {
  stNormalVertical, stNormalHorizontal, stFourWay, stStar, stDiagonalVertical, stDiagonalHorizontal,
  stDiagonalFourWay, stPlainStar,
};

enum TCtlSpinState { SpinNormal = 1, SpinUp, SpinDown, SpinLeft, SpinRight, SpinCenter };

using TSpinClickEvent = std::function<void(TObject* Sender, TCtlSpinState State, double Delta, bool Wrap)>;

constexpr int ctlSpinnerMaxAcceleration = 10;

class TCtlSpinner : public TCtlCustomControl {
public:
  explicit TCtlSpinner(TComponent* AOwner);
  ~TCtlSpinner() override;
  AnsiString ClassName() const override { return "TCtlSpinner"; }

  int Acceleration() const { return FAcceleration; }
  // Values above 10 are ignored.
  void SetAcceleration(int Value);
  bool AutoRepeat() const { return FAutoRepeat; }
  void SetAutoRepeat(bool Value) { FAutoRepeat = Value; }
  int DelayTime() const { return FDelayTime; }
  void SetDelayTime(int Value) { FDelayTime = Value; }
  double Delta() const { return FDelta; }
  void SetDelta(double Value) { FDelta = Value; }
  TWinControl* FocusedControl() const { return FFocusedControl; }
  void SetFocusedControl(TWinControl* Value);
  bool ShowArrows() const { return FShowArrows; }
  void SetShowArrows(bool Value);
  TCtlSpinnerStyle Style() const { return FStyle; }
  void SetStyle(TCtlSpinnerStyle Value);
  bool WrapMode() const { return FWrapMode; }
  void SetWrapMode(bool Value) { FWrapMode = Value; }

  TCtlSpinState State() const { return FState; }
  bool Pressed() const { return FPressed; }
  // The region of a state; empty when the style has none.
  const TRegion& Region(TCtlSpinState State) const;
  // The state under the mouse.
  TCtlSpinState HitTest();
  // The state at a client point, whatever the button.
  TCtlSpinState StateAt(TPoint P) const;
  void DoStep(TCtlSpinState State);

  void SetBounds(int left, int top, int width, int height) override;

  // Every step, with the state, Delta and WrapMode.
  TSpinClickEvent OnClick;

protected:
  virtual void DoMouseDown();
  virtual void DoMouseUp();
  virtual void BuildRegions();
  void Paint() override;
  void WndProc(TMessage& message) override;
  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;

private:
  struct TPoints {
    TPoint TL, TR, BL, BR, C, P1, P2, P3, P4, TM, BM, LM, RM, Q1, Q2, Q3, Q4;
  };
  struct TEdgeLine {
    TPoint A, B;
    int Kind;
  };
  struct TRegionShape {
    TCtlSpinState State = SpinNormal;
    std::vector<TPoint> Polygon;  // empty for a rectangle region
    TRect ArrowBox;
    std::vector<TEdgeLine> Edges;
  };

  void leftButtonDown();
  void repeatLoop();
  // Runs pending messages, then waits until the next step is due or input comes.
  void waitForNextStep(bool stepping);
  void changeState(TCtlSpinState next);
  void stepControl(TCtlSpinState state);
  std::vector<TRegionShape> shapes() const;
  void paintNormal(TCanvas& canvas);
  void paintShaped(TCanvas& canvas);
  void paintRegion(TCanvas& canvas, const TRegionShape& shape, bool pressed);
  void paintArrow(TCanvas& canvas, const TRect& box, TCtlSpinState dir, bool pressed);
  static std::size_t slot(TCtlSpinState s) { return std::size_t(s - SpinUp); }

  int FAcceleration = 5;
  bool FAutoRepeat = true;
  int FDelayTime = 500;
  double FDelta = 1.0;
  TWinControl* FFocusedControl = nullptr;
  bool FShowArrows = true;
  TCtlSpinnerStyle FStyle = stNormalVertical;
  bool FWrapMode = true;

  TCtlSpinState FState = SpinNormal;
  TCtlSpinState FPrevState = SpinNormal;
  bool FPressed = false;
  bool FTracking = false;  // a left-button press that began here is in progress
  int FStepCount = 0;
  uint64_t FNextStep = 0;
  uint16_t FMouseButton = 0;
  std::array<TRegion, 5> FRegions;
  TPoints FPoints;
};
