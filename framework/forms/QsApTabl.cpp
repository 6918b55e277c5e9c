#include "framework/forms/QsApTabl.h"

#include <typeinfo>

#include "framework/base/uStringUtils.h"
#include "platform/rtl/Resources.h"

void TDBaseFieldDef::SetDataType(char v) {
  FDataType = v;
  FPrecision = 0;
  switch (v) {
    case 'C': FSize = 20; break;
    case 'D': FSize = 8; break;
    case 'L': FSize = 1; break;
    case 'M': FSize = 10; break;
    default: FSize = 0; break;
  }
}

void TDBaseFieldDef::Assign(const TPersistent* source) {
  if (auto* d = dynamic_cast<const TDBaseFieldDef*>(source)) {
    FFieldName = d->FFieldName, FDataType = d->FDataType, FSize = d->FSize, FPrecision = d->FPrecision;
    return;
  }
  TCollectionItem::Assign(source);
}

void TDBaseIndexDef::Assign(const TPersistent* source) {
  if (auto* d = dynamic_cast<const TDBaseIndexDef*>(source)) {
    FIndexName = d->FIndexName, FFieldName = d->FFieldName, FExpression = d->FExpression;
    FCondition = d->FCondition, FOptions = d->FOptions, FNoValidation = d->FNoValidation;
    return;
  }
  TCollectionItem::Assign(source);
}

// ---- TQslXbDatabase

void TQslXbDatabase::SetAccessMethod(TAccessMethod v) {
  if (v == FAccessMethod) return;
  FAccessMethod = v;
  TXbSearchObject search;
  auto isTable = TXbSearchObject::ClassOf<TXbTable>();
  for (TComponent* c = search.Start(isTable); c; c = search.Continue(isTable)) {
    auto* t = static_cast<TXbTable*>(c);
    if (t->DatabaseName() == DataPathAlias()) t->SetAccessMethod(v);
  }
}

void TQslXbDatabase::Notification(TComponent* component, TOperation operation) {
  TXbDatabase::Notification(component, operation);
  if (!component || typeid(*component) != typeid(TQslXbDatabase)) return;
  if (operation == opInsert) XbDatabaseRegistry().AddDatabase(component);
  else XbDatabaseRegistry().RemoveDatabase(component);
}

// ---- TQslXbTable

TQslXbTable::TQslXbTable(TComponent* owner)
    : TXbTable(owner),
      FDBaseFieldDefList(std::make_unique<TDBaseFieldDefList>(this)),
      FDBaseIndexDefList(std::make_unique<TDBaseIndexDefList>(this)) {}

void TQslXbTable::SetDatabaseDataModule(TComponent* v) {
  if (v == FDatabaseDataModule) return;
  if (FDatabaseDataModule) FDatabaseDataModule->RemoveFreeNotification(this);
  FDatabaseDataModule = v;
  if (v) v->FreeNotification(this);
}

void TQslXbTable::Notification(TComponent* component, TOperation operation) {
  TXbTable::Notification(component, operation);
  if (operation == opRemove && component == FDatabaseDataModule) FDatabaseDataModule = nullptr;
}

AnsiString TQslXbTable::TableFolder() const {
  if (AccessMethod() == amServer) return DatabaseName();
  auto* self = const_cast<TQslXbTable*>(this);
  if (TXbDatabase* d = self->Database()) return EnsureTrailingBackslash(d->DataPath());
  return EnsureTrailingBackslash(DatabaseName());
}

AnsiString TQslXbTable::QslDataPath() const {
  if (AccessMethod() != amServer) return TableFolder();
  if (!FDatabaseDataModule) return AnsiString();
  for (int i = 0; i < FDatabaseDataModule->ComponentCount(); ++i)
    if (auto* d = dynamic_cast<TQslXbDatabase*>(FDatabaseDataModule->Components(i)))
      if (SameText(d->DataPathAlias(), DatabaseName())) return d->DataPath();
  return AnsiString();
}

void TQslXbTable::CheckActive() const {
  if (!Active())
    throw EDatabaseError(LoadResString(SDataSetClosed), {TableFolder(), TableName()});
}

void TQslXbTable::HandleError(const AnsiString& message) {
  TXbTable::HandleError(message + "\r" + QslDataPath() + "\r" + TableName() + "\r");
}

const std::array<AnsiString, 9>& XbDateFilters() {
  static const std::array<AnsiString, 9> filters = {
      "(%s=stod(\"%s\"))",
      "(%s<>stod(\"%s\"))",
      "(%s>stod(\"%s\"))",
      "(%s>=stod(\"%s\"))",
      "(%s<stod(\"%s\"))",
      "(%s<=stod(\"%s\"))",
      "(%s<=stod(\"19000101\"))",
      "((%s<=date()).and.(.not.(%s<=stod(\"19000101\"))))",
      "((%s>=date()).or.(%s<=stod(\"19000101\")))",
  };
  return filters;
}
