// The indexes of a data set's source: fields or expression, and options, one definition each.
#pragma once

#include <cstdint>

#include "platform/classlib/Classes.h"
#include "platform/classlib/DBTypes.h"

enum TIndexOption : uint32_t {
  ixPrimary = 1,
  ixUnique = 2,
  ixDescending = 4,
  ixCaseInsensitive = 8,
  ixExpression = 16,
  ixNonMaintained = 32,
};
using TIndexOptions = uint32_t;

class TIndexDef : public TCollectionItem {
public:
  using TCollectionItem::TCollectionItem;
  AnsiString ClassName() const override { return "TIndexDef"; }
  AnsiString DisplayName() const override { return FName; }
  const AnsiString& Name() const { return FName; }
  void SetName(const AnsiString& v) { FName = v; }
  // Field names joined with ";"; empty for an expression index.
  const AnsiString& Fields() const { return FFields; }
  void SetFields(const AnsiString& v) { FFields = v; }
  const AnsiString& Expression() const { return FExpression; }
  void SetExpression(const AnsiString& v) { FExpression = v; }
  const AnsiString& Source() const { return FSource; }
  void SetSource(const AnsiString& v) { FSource = v; }
  TIndexOptions Options() const { return FOptions; }
  void SetOptions(TIndexOptions v) { FOptions = v; }
  void Assign(const TPersistent* source) override;

private:
  AnsiString FName;
  AnsiString FFields;
  AnsiString FExpression;
  AnsiString FSource;
  TIndexOptions FOptions = 0;
};

class TIndexDefs : public TCollection {
public:
  explicit TIndexDefs(TDataSet* owner);
  AnsiString ClassName() const override { return "TIndexDefs"; }
  TIndexDef* Items(int index) const { return static_cast<TIndexDef*>(TCollection::Items(index)); }
  TIndexDef* AddIndexDef() { return static_cast<TIndexDef*>(TCollection::Add()); }
  TIndexDef* Add(const AnsiString& name, const AnsiString& fields, TIndexOptions options);
  int IndexOf(const AnsiString& name) const;
  TIndexDef* FindIndexForFields(const AnsiString& fields) const;  // nullptr when none
  // Reads the definitions from the data set again when they are not current.
  void Update();
  bool Updated() const { return FUpdated; }
  void SetUpdated(bool v) { FUpdated = v; }

private:
  TDataSet* FDataSet;
  bool FUpdated = false;
};
