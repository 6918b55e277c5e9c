// The named values handed to a query or a procedure.
#pragma once

#include "platform/classlib/Classes.h"
#include "platform/classlib/DBTypes.h"
#include "platform/classlib/Variants.h"

enum TParamType { ptUnknown, ptInput, ptOutput, ptInputOutput, ptResult };

// A named value handed to a query or a procedure.
class TParam : public TCollectionItem {
public:
  using TCollectionItem::TCollectionItem;
  AnsiString ClassName() const override { return "TParam"; }
  AnsiString DisplayName() const override { return FName; }
  const AnsiString& Name() const { return FName; }
  void SetName(const AnsiString& v) { FName = v; }
  TFieldType DataType() const { return FDataType; }
  void SetDataType(TFieldType v) { FDataType = v; }
  TParamType ParamType() const { return FParamType; }
  void SetParamType(TParamType v) { FParamType = v; }
  const Variant& Value() const { return FValue; }
  void SetValue(const Variant& v) { FValue = v; }
  bool IsNull() const { return VarIsNull(FValue); }
  AnsiString AsString() const { return FValue.AsString(); }
  void SetAsString(const AnsiString& v) { FDataType = ftString, FValue = Variant(v); }
  int64_t AsInteger() const { return FValue.AsInteger(); }
  void SetAsInteger(int64_t v) { FDataType = ftInteger, FValue = Variant(v); }
  void Clear() { FValue = Variant::Null(); }
  void Assign(const TPersistent* source) override;

private:
  AnsiString FName;
  TFieldType FDataType = ftUnknown;
  TParamType FParamType = ptUnknown;
  Variant FValue = Variant::Null();
};

class TParams : public TCollection {
public:
  explicit TParams(TPersistent* owner = nullptr);
  AnsiString ClassName() const override { return "TParams"; }
  TParam* Items(int index) const { return static_cast<TParam*>(TCollection::Items(index)); }
  TParam* CreateParam(TFieldType type, const AnsiString& name, TParamType paramType);
  TParam* FindParam(const AnsiString& name) const;
  TParam* ParamByName(const AnsiString& name) const;  // raises EDatabaseError when missing
};
