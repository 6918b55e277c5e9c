#include "platform/classlib/Params.h"

void TParam::Assign(const TPersistent* source) {
  if (auto* p = dynamic_cast<const TParam*>(source)) {
    FName = p->FName, FDataType = p->FDataType, FParamType = p->FParamType, FValue = p->FValue;
    return;
  }
  TCollectionItem::Assign(source);
}

TParams::TParams(TPersistent* owner) : TCollection(ItemClass<TParam>(), owner) {}

TParam* TParams::CreateParam(TFieldType type, const AnsiString& name, TParamType paramType) {
  auto* p = static_cast<TParam*>(Add());
  p->SetName(name);
  p->SetDataType(type);
  p->SetParamType(paramType);
  return p;
}

TParam* TParams::FindParam(const AnsiString& name) const {
  for (int i = 0; i < Count(); ++i)
    if (SameText(Items(i)->Name(), name)) return Items(i);
  return nullptr;
}

TParam* TParams::ParamByName(const AnsiString& name) const {
  TParam* p = FindParam(name);
  if (!p) throw EDatabaseError("Parameter '%s' not found", {name});
  return p;
}
