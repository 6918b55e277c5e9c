#include "platform/classlib/FieldDefs.h"

#include "platform/classlib/DataSet.h"

void TFieldDef::Assign(const TPersistent* source) {
  if (auto* d = dynamic_cast<const TFieldDef*>(source)) {
    FName = d->FName, FDataType = d->FDataType, FSize = d->FSize, FPrecision = d->FPrecision;
    FRequired = d->FRequired, FFieldNo = d->FFieldNo;
    return;
  }
  TCollectionItem::Assign(source);
}

TFieldDefs::TFieldDefs(TDataSet* owner) : TCollection(ItemClass<TFieldDef>(), owner), FDataSet(owner) {}

TFieldDef* TFieldDefs::Add(const AnsiString& name, TFieldType type, int size, bool required) {
  if (IndexOf(name) >= 0) throw EDatabaseError("Duplicate field name '%s'", {name});
  TFieldDef* d = AddFieldDef();
  d->SetName(name);
  d->SetDataType(type);
  d->SetSize(size);
  d->SetRequired(required);
  d->SetFieldNo(Count());
  return d;
}

int TFieldDefs::IndexOf(const AnsiString& name) const {
  for (int i = 0; i < Count(); ++i)
    if (SameText(Items(i)->Name(), name)) return i;
  return -1;
}

TFieldDef* TFieldDefs::Find(const AnsiString& name) const {
  int i = IndexOf(name);
  if (i < 0) throw EDatabaseError("Field '%s' not found", {name});
  return Items(i);
}

void TFieldDefs::Update() {
  if (FDataSet) FDataSet->InitFieldDefs();
}
