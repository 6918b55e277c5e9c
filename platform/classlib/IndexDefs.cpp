#include "platform/classlib/IndexDefs.h"

#include "platform/classlib/DataSet.h"

void TIndexDef::Assign(const TPersistent* source) {
  if (auto* d = dynamic_cast<const TIndexDef*>(source)) {
    FName = d->FName, FFields = d->FFields, FExpression = d->FExpression, FSource = d->FSource;
    FOptions = d->FOptions;
    return;
  }
  TCollectionItem::Assign(source);
}

TIndexDefs::TIndexDefs(TDataSet* owner) : TCollection(ItemClass<TIndexDef>(), owner), FDataSet(owner) {}

TIndexDef* TIndexDefs::Add(const AnsiString& name, const AnsiString& fields, TIndexOptions options) {
  TIndexDef* d = AddIndexDef();
  d->SetName(name);
  if (options & ixExpression) d->SetExpression(fields);
  else d->SetFields(fields);
  d->SetOptions(options);
  return d;
}

int TIndexDefs::IndexOf(const AnsiString& name) const {
  for (int i = 0; i < Count(); ++i)
    if (SameText(Items(i)->Name(), name)) return i;
  return -1;
}

TIndexDef* TIndexDefs::FindIndexForFields(const AnsiString& fields) const {
  for (int i = 0; i < Count(); ++i)
    if (!(Items(i)->Options() & ixExpression) && SameText(Items(i)->Fields(), fields)) return Items(i);
  return nullptr;
}

void TIndexDefs::Update() {
  if (!FUpdated && FDataSet) FDataSet->UpdateIndexDefs();
}
