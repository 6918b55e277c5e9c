// The table environment: engine-wide settings passed at once to the local engine, the database
// server, or both; database aliases that name a folder; and the search that finds environments,
// databases and tables anywhere in the running program.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/classlib/Classes.h"
#include "platform/rtl/StringList.h"

class TXbConnection;

enum TXbDateFrmt { dfAmerican, dfAnsi, dfBritish, dfFrench, dfGerman, dfItalian, dfSpanish, dfWinDefault };

enum TXbApplyType { atLocal = 1, atServer = 2 };
using TXbApplyTo = uint32_t;  // a set of TXbApplyType

// The engine's date-format code: the ordinal, and 99 for the system default.
constexpr int32_t XbDateFormatCode(TXbDateFrmt f) { return f == dfWinDefault ? 99 : static_cast<int32_t>(f); }

// What an environment setting tells the server; the connection carries it.
enum class TXbEnvSetting { Century, DateFormat, Deleted, Epoch, Exact, LockTimeOut, MemoBlockSize, SoftSeek };

class TXbEnv : public TComponent {
public:
  explicit TXbEnv(TComponent* owner) : TComponent(owner) {}
  AnsiString ClassName() const override { return "TXbEnv"; }

  TXbApplyTo ApplyTo() const { return FApplyTo; }
  void SetApplyTo(TXbApplyTo v) { FApplyTo = v; }
  TXbConnection* XbConnection() const { return FXbConnection; }
  void SetXbConnection(TXbConnection* v) { FXbConnection = v; }
  bool AutoRefresh() const { return FAutoRefresh; }
  void SetAutoRefresh(bool v) { FAutoRefresh = v; }

  bool Century() const { return FCentury; }
  void SetCentury(bool v);
  TXbDateFrmt DateFormat() const { return FDateFormat; }
  void SetDateFormat(TXbDateFrmt v);
  bool Deleted() const { return FDeleted; }
  void SetDeleted(bool v);
  int32_t Epoch() const { return FEpoch; }
  void SetEpoch(int32_t v);
  bool Exact() const { return FExact; }
  void SetExact(bool v);
  int32_t LockTimeOut() const { return FLockTimeOut; }
  void SetLockTimeOut(int32_t v);
  int16_t MemoBlockSize() const { return FMemoBlockSize; }
  void SetMemoBlockSize(int16_t v);
  bool OptimisticBuffer() const { return (FApplyTo & atLocal) ? FOptimisticBuffer : false; }
  void SetOptimisticBuffer(bool v);
  bool SoftSeek() const { return FSoftSeek; }
  void SetSoftSeek(bool v);
  int32_t ErrorFunc() const { return FErrorFunc; }
  bool CountNeedsRefresh() const { return FCountNeedsRefresh; }
  int32_t ErrorLevel() const { return FErrorLevel; }

  // Refreshes every active table when AutoRefresh is on.
  void RefreshOpenTables();

  // Carries a setting to the server; the connection puts it on the wire.
  std::function<void(TXbConnection*, TXbEnvSetting, int32_t)> OnServerSetting;

protected:
  void Loaded() override;

private:
  bool applies() const { return FApplyTo != 0; }
  void sendServer(TXbEnvSetting setting, int32_t value);
  // Runs the local call once the engine is there; without an engine nothing is sent.
  void sendLocal(const std::function<void()>& call);
  void send(TXbEnvSetting setting, int32_t value, const std::function<void()>& local) {
    sendServer(setting, value);
    sendLocal(local);
  }

  TXbApplyTo FApplyTo = atLocal;
  TXbConnection* FXbConnection = nullptr;
  bool FAutoRefresh = true;
  bool FCentury = true;
  TXbDateFrmt FDateFormat = dfWinDefault;
  bool FDeleted = false;
  int32_t FEpoch = 1980;
  bool FExact = false;
  int32_t FLockTimeOut = 1;
  int16_t FMemoBlockSize = 64;
  bool FOptimisticBuffer = false;
  bool FSoftSeek = false;
  int32_t FErrorFunc = -1;
  bool FCountNeedsRefresh = false;
  int32_t FErrorLevel = 0;
};

// Gives a folder a name that tables use as their DatabaseName.
class TXbDatabase : public TComponent {
public:
  explicit TXbDatabase(TComponent* owner);
  ~TXbDatabase() override;
  AnsiString ClassName() const override { return "TXbDatabase"; }
  const AnsiString& DataPath() const { return FDataPath; }
  void SetDataPath(const AnsiString& v) { FDataPath = v; }
  const AnsiString& DataPathAlias() const { return FDataPathAlias; }
  void SetDataPathAlias(const AnsiString& v) { FDataPathAlias = v; }

protected:
  void Notification(TComponent* component, TOperation operation) override;

private:
  AnsiString FDataPath;
  AnsiString FDataPathAlias;
};

// The databases announced while forms are designed, in the order they came.
class TxbdbStringList : public TList {
public:
  // Only the process ends the registry; freeing it by hand raises.
  static void Destroy(TxbdbStringList* list);
  void AddDatabase(TComponent* database);
  // Removes every occurrence.
  void RemoveDatabase(TComponent* database);
};
TxbdbStringList& XbDatabaseRegistry();

// A resumable search for components of one class through the data modules (the application's
// components that are not forms), then the forms with the frames on them.
class TXbSearchObject : public TObject {
public:
  using TClassTest = std::function<bool(TComponent*)>;
  TComponent* Start(const TClassTest& isClass);
  TComponent* Continue(const TClassTest& isClass);

  template <class T>
  static TClassTest ClassOf() {
    return [](TComponent* c) { return dynamic_cast<T*>(c) != nullptr; };
  }

private:
  int32_t FDataModule = 0;
  int32_t FDataModuleComponent = 0;
  int32_t FForm = 0;
  int32_t FFormComponent = 0;
  int32_t FFrameComponent = 0;
};

// The database whose alias is name: among the registered ones while designing, else searched
// through the running program; nullptr when none has it.
TXbDatabase* FindXbDatabase(const AnsiString& name, bool designing);
