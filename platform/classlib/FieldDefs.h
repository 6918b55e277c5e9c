// The structure of a data set's source: one definition per column.
#pragma once

#include "platform/classlib/Classes.h"
#include "platform/classlib/DBTypes.h"

class TFieldDef : public TCollectionItem {
public:
  using TCollectionItem::TCollectionItem;
  AnsiString ClassName() const override { return "TFieldDef"; }
  AnsiString DisplayName() const override { return FName; }
  const AnsiString& Name() const { return FName; }
  void SetName(const AnsiString& v) { FName = v; }
  TFieldType DataType() const { return FDataType; }
  void SetDataType(TFieldType v) { FDataType = v; }
  int Size() const { return FSize; }
  void SetSize(int v) { FSize = v; }
  int Precision() const { return FPrecision; }
  void SetPrecision(int v) { FPrecision = v; }
  bool Required() const { return FRequired; }
  void SetRequired(bool v) { FRequired = v; }
  int FieldNo() const { return FFieldNo; }
  void SetFieldNo(int v) { FFieldNo = v; }
  void Assign(const TPersistent* source) override;

private:
  AnsiString FName;
  TFieldType FDataType = ftUnknown;
  int FSize = 0;
  int FPrecision = 0;
  bool FRequired = false;
  int FFieldNo = 0;
};

class TFieldDefs : public TCollection {
public:
  explicit TFieldDefs(TDataSet* owner);
  AnsiString ClassName() const override { return "TFieldDefs"; }
  TFieldDef* Items(int index) const { return static_cast<TFieldDef*>(TCollection::Items(index)); }
  TFieldDef* AddFieldDef() { return static_cast<TFieldDef*>(TCollection::Add()); }
  TFieldDef* Add(const AnsiString& name, TFieldType type, int size = 0, bool required = false);
  int IndexOf(const AnsiString& name) const;  // any letter case; -1 when missing
  TFieldDef* Find(const AnsiString& name) const;  // raises EDatabaseError when missing
  // Reads the definitions from the data set again.
  void Update();
  bool Updated() const { return FUpdated; }
  void SetUpdated(bool v) { FUpdated = v; }

private:
  TDataSet* FDataSet;
  bool FUpdated = false;
};
