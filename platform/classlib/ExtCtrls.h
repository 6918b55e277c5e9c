// The further standard controls: panels with bevels, bevels, images and radio groups.
#pragma once

#include <memory>
#include <vector>

#include "platform/classlib/StdCtrls.h"

enum TPanelBevel { bvNone, bvLowered, bvRaised, bvSpace };

// Draws width rings of a 3D frame, top and left in one colour, bottom and right in the other,
// and shrinks rect past them.
void Frame3D(TCanvas& canvas, TRect& rect, TColor topColor, TColor bottomColor, int width);

class TCustomPanel : public TCustomControl {
public:
  explicit TCustomPanel(TComponent* owner);
  AnsiString ClassName() const override { return "TCustomPanel"; }

  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment v);
  TPanelBevel BevelInner() const { return FBevelInner; }
  void SetBevelInner(TPanelBevel v);
  TPanelBevel BevelOuter() const { return FBevelOuter; }
  void SetBevelOuter(TPanelBevel v);
  int BevelWidth() const { return FBevelWidth; }
  void SetBevelWidth(int v);
  int BorderWidth() const { return FBorderWidth; }
  void SetBorderWidth(int v);
  TBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle v);

protected:
  void Paint() override;
  void AdjustClientRect(TRect& rect) override;
  void WndProc(TMessage& m) override;
  void CMTextChanged(TMessage& m) override;
  void CMFontChanged(TMessage& m) override;
  int FrameWidth() const;

private:
  void Changed();

  TAlignment FAlignment = taCenter;
  TPanelBevel FBevelInner = bvNone;
  TPanelBevel FBevelOuter = bvRaised;
  int FBevelWidth = 1;
  int FBorderWidth = 0;
  TBorderStyle FBorderStyle = bsNone;
};

class TPanel : public TCustomPanel {
public:
  using TCustomPanel::TCustomPanel;
  AnsiString ClassName() const override { return "TPanel"; }
};

enum TBevelShape { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer };
enum TBevelStyle { bsLowered, bsRaised };

class TBevel : public TGraphicControl {
public:
  explicit TBevel(TComponent* owner);
  AnsiString ClassName() const override { return "TBevel"; }
  TBevelShape Shape() const { return FShape; }
  void SetShape(TBevelShape v);
  TBevelStyle Style() const { return FStyle; }
  void SetStyle(TBevelStyle v);

protected:
  void Paint() override;

private:
  TBevelShape FShape = bsBox;
  TBevelStyle FStyle = bsLowered;
};

// Shows a picture: at its size from the top-left corner, centred, or stretched to the control.
class TImage : public TGraphicControl {
public:
  explicit TImage(TComponent* owner);
  ~TImage() override;
  AnsiString ClassName() const override { return "TImage"; }

  TPicture& Picture() { return *FPicture; }
  void SetPicture(const TPicture* v) { FPicture->Assign(v); }
  // The picture's own canvas, a bitmap made on first use.
  TCanvas& ImageCanvas() { return FPicture->Bitmap().Canvas(); }
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool v);
  bool Center() const { return FCenter; }
  void SetCenter(bool v);
  bool Stretch() const { return FStretch; }
  void SetStretch(bool v);
  // The bitmap's transparent colour shows what is behind the image.
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool v);
  // Where the picture is drawn in the control.
  TRect DestRect();

protected:
  void Paint() override;

private:
  void PictureChanged(TObject*);

  std::unique_ptr<TPicture> FPicture = std::make_unique<TPicture>();
  bool FAutoSize = false;
  bool FCenter = false;
  bool FStretch = false;
  bool FTransparent = false;
};

// A group box of radio buttons made from its items; ItemIndex is the checked one.
class TCustomRadioGroup : public TCustomGroupBox {
public:
  explicit TCustomRadioGroup(TComponent* owner);
  ~TCustomRadioGroup() override;
  AnsiString ClassName() const override { return "TCustomRadioGroup"; }

  TStrings& Items() { return FItems; }
  void SetItems(const TStrings& v) { FItems.Assign(v); }
  int ItemIndex() const { return FItemIndex; }
  void SetItemIndex(int v);
  int Columns() const { return FColumns; }
  void SetColumns(int v);
  int ButtonCount() const { return static_cast<int>(FButtons.size()); }
  TRadioButton* Buttons(int index) const { return FButtons.at(static_cast<size_t>(index)); }

protected:
  void Resize() override;
  void CMEnabledChanged(TMessage& m) override;
  void CMFontChanged(TMessage& m) override;
  void Notification(TComponent* component, TOperation operation) override;

private:
  void UpdateButtons();
  void ArrangeButtons();
  void ButtonClicked(TObject* sender);

  TStringList FItems;
  std::vector<TRadioButton*> FButtons;  // owned through the component tree
  int FItemIndex = -1;
  int FColumns = 1;
  bool FUpdating = false;
};

class TRadioGroup : public TCustomRadioGroup {
public:
  using TCustomRadioGroup::TCustomRadioGroup;
  AnsiString ClassName() const override { return "TRadioGroup"; }
};
