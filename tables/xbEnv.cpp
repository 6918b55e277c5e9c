#include "tables/xbEnv.h"

#include <memory>
#include <typeinfo>

#include "platform/classlib/Forms.h"
#include "tables/XBE7.h"
#include "tables/XbConnection.h"
#include "tables/XbOps.h"

namespace {

constexpr int32_t kPropSetOptimistic = xbPropSetOptimistic;
constexpr int32_t kPropGetOptimistic = xbPropGetOptimistic;

int32_t NormalEpoch(int32_t year) {
  if (year == 0) return 1900;
  if (year < 100) return 100;
  if (year > 2999) return 2999;
  return year;
}

}  // namespace

// ---- TXbEnv

void TXbEnv::sendServer(TXbEnvSetting setting, int32_t value) {
  if (!(FApplyTo & atServer) || !FXbConnection) return;
  if (OnServerSetting) OnServerSetting(FXbConnection, setting, value);
  else XbServerSetting(FXbConnection, setting, value);
}

void TXbEnv::sendLocal(const std::function<void()>& call) {
  if (!(FApplyTo & atLocal)) return;
  EnsureTableEngine();
  if (TableEngineReady()) call();
}

void TXbEnv::Loaded() {
  TComponent::Loaded();
  if (FApplyTo == atLocal) EnsureTableEngine();
}

void TXbEnv::SetLockTimeOut(int32_t v) {
  if (!applies() || v == FLockTimeOut) return;
  send(TXbEnvSetting::LockTimeOut, v, [&] { xb_SetLockTimeout(v); });
  FLockTimeOut = v;
}

void TXbEnv::SetMemoBlockSize(int16_t v) {
  if (!applies() || v == FMemoBlockSize) return;
  send(TXbEnvSetting::MemoBlockSize, v, [&] { xb_SetMemoBlockSize(v); });
  FMemoBlockSize = v;
}

void TXbEnv::SetSoftSeek(bool v) {
  if (!applies() || v == FSoftSeek) return;
  FSoftSeek = v;
  send(TXbEnvSetting::SoftSeek, XbLogical(v), [&] { xb_SetSoftSeek(XbLogical(v)); });
}

void TXbEnv::SetExact(bool v) {
  if (!applies() || v == FExact) return;
  FExact = v;
  send(TXbEnvSetting::Exact, XbLogical(v), [&] { xb_SetExact(XbLogical(v)); });
}

void TXbEnv::SetDeleted(bool v) {
  if (!applies()) return;
  FDeleted = v;
  send(TXbEnvSetting::Deleted, XbLogical(v), [&] { xb_SetDeleted(XbLogical(v)); });
  RefreshOpenTables();
}

void TXbEnv::SetCentury(bool v) {
  if (!applies()) return;
  send(TXbEnvSetting::Century, XbLogical(v), [&] { xb_SetCentury(XbLogical(v)); });
  FCentury = v;
  RefreshOpenTables();
}

void TXbEnv::SetDateFormat(TXbDateFrmt v) {
  if (!applies()) return;
  int32_t code = XbDateFormatCode(v);
  send(TXbEnvSetting::DateFormat, code, [&] { xb_SetDateFormat(code); });
  FDateFormat = v;
  if (FCentury) SetCentury(true);
  else RefreshOpenTables();
}

void TXbEnv::SetEpoch(int32_t v) {
  if (!applies()) return;
  FEpoch = NormalEpoch(v);
  send(TXbEnvSetting::Epoch, FEpoch, [&] { xb_SetEpoch(FEpoch); });
}

void TXbEnv::SetOptimisticBuffer(bool v) {
  if (!(FApplyTo & atLocal)) return;
  sendLocal([&] {
    xb_SysProp(kPropSetOptimistic, v ? 1 : 0);
    FOptimisticBuffer = xb_SysProp(kPropGetOptimistic, 0) != 0;
  });
}

void TXbEnv::RefreshOpenTables() {
  if (!FAutoRefresh) return;
  TXbSearchObject search;
  auto isTable = [](TComponent* c) { return dynamic_cast<TXbTableCore*>(c) != nullptr; };
  for (TComponent* c = search.Start(isTable); c; c = search.Continue(isTable)) {
    auto* table = dynamic_cast<TXbTableCore*>(c);
    if (table->TableActive()) table->RefreshTable();
  }
}

// ---- TXbDatabase and the registry

TXbDatabase::TXbDatabase(TComponent* owner) : TComponent(owner) {
  // The owner's insertion notice came while this was still a bare component.
  XbDatabaseRegistry().AddDatabase(this);
}

TXbDatabase::~TXbDatabase() { XbDatabaseRegistry().RemoveDatabase(this); }

void TXbDatabase::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (!component || typeid(*component) != typeid(TXbDatabase)) return;
  if (operation == opInsert) XbDatabaseRegistry().AddDatabase(component);
  else XbDatabaseRegistry().RemoveDatabase(component);
}

void TxbdbStringList::Destroy(TxbdbStringList* list) {
  if (list) throw Exception("Cannot manually destroy a %s", {AnsiString("TxbdbStringList")});
}

void TxbdbStringList::AddDatabase(TComponent* database) {
  if (database && IndexOf(database) < 0) Add(database);
}

void TxbdbStringList::RemoveDatabase(TComponent* database) {
  while (Remove(database) >= 0) {
  }
}

TxbdbStringList& XbDatabaseRegistry() {
  static TxbdbStringList registry;
  return registry;
}

// ---- TXbSearchObject

namespace {

std::vector<TComponent*> DataModules() {
  std::vector<TComponent*> modules;
  for (int i = 0; i < Application().ComponentCount(); ++i) {
    TComponent* c = Application().Components(i);
    if (!dynamic_cast<TCustomForm*>(c)) modules.push_back(c);
  }
  return modules;
}

// A control on a form that owns components of its own.
bool IsFrame(TComponent* c) { return dynamic_cast<TWinControl*>(c) && c->ComponentCount() > 0; }

}  // namespace

TComponent* TXbSearchObject::Start(const TClassTest& isClass) {
  FDataModule = FDataModuleComponent = FForm = FFormComponent = FFrameComponent = 0;
  return Continue(isClass);
}

TComponent* TXbSearchObject::Continue(const TClassTest& isClass) {
  std::vector<TComponent*> modules = DataModules();
  while (FDataModule < static_cast<int32_t>(modules.size())) {
    TComponent* m = modules[std::size_t(FDataModule)];
    while (FDataModuleComponent < m->ComponentCount()) {
      TComponent* c = m->Components(FDataModuleComponent++);
      if (isClass(c)) return c;
    }
    ++FDataModule;
    FDataModuleComponent = 0;
  }
  std::vector<TCustomForm*> forms = Screen().Forms();
  while (FForm < static_cast<int32_t>(forms.size())) {
    TCustomForm* f = forms[std::size_t(FForm)];
    while (FFormComponent < f->ComponentCount()) {
      TComponent* c = f->Components(FFormComponent);
      if (isClass(c)) {
        ++FFormComponent;
        return c;
      }
      if (IsFrame(c))
        while (FFrameComponent < c->ComponentCount()) {
          TComponent* inner = c->Components(FFrameComponent++);
          if (isClass(inner)) return inner;
        }
      FFrameComponent = 0;
      ++FFormComponent;
    }
    ++FForm;
    FFormComponent = 0;
  }
  return nullptr;
}

TXbDatabase* FindXbDatabase(const AnsiString& name, bool designing) {
  if (designing) {
    for (int i = 0; i < XbDatabaseRegistry().Count(); ++i) {
      auto* d = static_cast<TXbDatabase*>(XbDatabaseRegistry().Items(i));
      if (SameText(d->DataPathAlias(), name)) return d;
    }
    return nullptr;
  }
  TXbSearchObject search;
  auto isDb = TXbSearchObject::ClassOf<TXbDatabase>();
  for (TComponent* c = search.Start(isDb); c; c = search.Continue(isDb))
    if (SameText(static_cast<TXbDatabase*>(c)->DataPathAlias(), name)) return static_cast<TXbDatabase*>(c);
  return nullptr;
}
