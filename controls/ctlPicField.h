// The picture field: a picture-mask entry field holding one typed value (string, character, flag,
// integer, floating value, date or time) with its default mask, range, conversions and checks.
#pragma once

#include <functional>

#include "controls/ctlPicBase.h"
#include "controls/ctlPicConv.h"
#include "controls/ctlPicEdit.h"

class TCtlCustomPictureField;
using TCtlGetFieldEpochEvent = std::function<void(TCtlCustomPictureField* Sender, int& Epoch)>;

class TCtlCustomPictureField : public TCtlPictureBase {
public:
  explicit TCtlCustomPictureField(TComponent* AOwner);
  AnsiString ClassName() const override { return "TCtlCustomPictureField"; }

  bool InitDateTime() const { return FInitDateTime; }
  void SetInitDateTime(bool Value);
  // A change installs the type's default mask, range and length and drops the value.
  virtual void SetDataType(TPictureDataType Value);
  const AnsiString& GetPictureMask() const { return PictureMask(); }
  virtual void SetPictureMask(const AnsiString& Value);
  int Epoch() { return EffectiveEpoch(); }
  // 0 or 1600..3999; the controller's own epoch is kept as 0.
  void SetEpoch(int Value);
  int EffectiveEpoch() override;
  void SetAsString(const AnsiString& Value) override;
  void Assign(const TPersistent* Source) override;

  // Steps the value up or down, only while the field has the focus.
  virtual void IncreaseValue(bool Wrap, double Delta);
  void EditCommand(uint16_t Command, TMessage& Msg) override;

  // The conversions' view of this field.
  TCtlPicConvContext ConvContext();

  TCtlGetFieldEpochEvent OnGetEpoch;

protected:
  int TransferValue(void* Buffer, int Direction) override;
  uint16_t ValidateText() override;
  void CreateWnd() override;

private:
  TCtlPicValue initialValue();
  TCtlPicValue readBuffer(const void* buffer);
  void writeBuffer(void* buffer, const TCtlPicValue& v);
  void showValue(const TCtlPicValue& v);
  TCtlPicEditKind editKind() const;
  TCtlPicEditState editState();
  void storeEditState(const TCtlPicEditState& s);
  void focusNext(bool forward);

  bool FInitDateTime = false;
  bool FCreatedBefore = false;
  bool FHasValue = false;
  bool FLiteralNext = false;
  int FMovingEnd = 0;
};

class TCtlPictureField : public TCtlCustomPictureField {
public:
  explicit TCtlPictureField(TComponent* AOwner) : TCtlCustomPictureField(AOwner) {}
  AnsiString ClassName() const override { return "TCtlPictureField"; }
};
