// The database-server client: one TCP connection that logs in, carries every table command as a
// numbered request with a text payload, reads the framed answers with the server's unasked
// notices between them, and reports every failure in one form.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/classlib/DB.h"
#include "platform/classlib/Timer.h"
#include "tables/DatabaseServerProtocol.h"
#include "tables/XbNet.h"
#include "tables/XbOps.h"
#include "tables/intCrypt.h"
#include "tables/xbEnv.h"

QUORVEX_EXCEPTION(EXbConnectionError, Exception);
// Inside the connection: a failure already reported where it happened; the command only answers
// its empty result.
QUORVEX_EXCEPTION(EXbReported, Exception);

class TXbTableList;

using TSocketConnectionLoginEvent = std::function<void(TObject* Sender, bool LoginAccepted, const AnsiString& Msg)>;
using TSocketConnectionLogoutEvent = std::function<void(TObject* Sender)>;
using TSocketConnectionErrorEvent = std::function<void(TObject* Sender, const AnsiString& Command, const AnsiString& Msg)>;
using TSocketConnectionServerMsgEvent = std::function<void(TObject* Sender, const AnsiString& Msg)>;
using TSocketConnectionServerStreamEvent = std::function<void(TObject* Sender, TMemoryStream& Stream)>;

// What the server's open command is given.
struct TXbServerOpenRequest {
  AnsiString DatabaseName;
  AnsiString TableName;  // without folder
  int32_t OpenMode = 0;
  int32_t TableType = 0;
  AnsiString Password;
  bool TurboRead = false;
  AnsiString IndexName;
  int32_t Epoch = 1980;
  int32_t DateFormat = 0;
  int32_t MemoBlockSize = 64;
  bool Deleted = false;
  bool Century = true;
  bool SoftSeek = false;
  bool Exact = false;
  bool OEMTranslate = false;
  bool ApplySettings = false;
  int32_t CommitLevel = 1;
};

struct TXbServerIndexDef {
  AnsiString Name, Fields, Source, Expression;
  bool Primary = false, Unique = false, Descending = false, CaseInsensitive = false, IsExpression = false,
       NonMaintained = false;
};

// What the server's open command answers.
struct TXbServerOpenResult {
  int32_t WorkArea = 0;
  int32_t RecordCount = 0;
  int32_t FieldCount = 0;
  int32_t RecordSize = 0;
  bool Encrypted = false;
  AnsiString IndexCondition;
  int32_t CurrentOrder = 0;
  std::vector<TXbServerIndexDef> Indexes;
  int32_t ErrorCode = 0;
  AnsiString ErrorMessage;
};

// One record of a fetch: the status digit, the record number, the positioned number, the bytes.
struct TXbTraverseEntry {
  int32_t Status = 0;
  int32_t RecNo = 0;
  int32_t PositionedRecNo = 0;
  AnsiString Record;
};

// Record-fetch request: direction and start, passed through from the table's cache.
struct TXbTraverseRequest {
  bool Forward = true;    // Y: towards the end, N: towards the start
  bool Inclusive = false; // Y: the first record is the given one itself, N: its neighbour
  int32_t Order = 0;      // the table's current order
  int32_t AtFirst = 0;    // 1: start from the top
  int32_t AtLast = 0;     // 1: start from the bottom
  int32_t Count = 0;
  int32_t RecNo = 0;
};

// Status digits of a fetched record.
constexpr int32_t xbTraverseOK = 0;
constexpr int32_t xbTraverseBegin = 1;
constexpr int32_t xbTraverseEnd = 2;

// What a SQL statement is prepared with. The alias is the data folder for a local statement;
// the table list and parameters come in the layouts of the prepare request.
struct TXbSqlPrepareRequest {
  AnsiString DatabaseAlias;
  bool Century = true;
  AnsiString DateFormat;
  bool Deleted = true;
  bool ReadOnly = false;
  int32_t MemoBlockSize = 64;
  int32_t TableType = 2;
  AnsiString Password;
  bool OEMTranslate = false;
  int32_t CommitLevel = 1;
  const TXbTableList* Tables = nullptr;  // encoded within the command, so a too wide name is its failure
  AnsiString Params;
};

struct TXbSqlOpenResult {
  int32_t RecordCount = 0;
  int32_t FieldCount = 0;
  int32_t RecordSize = 0;
  int32_t ErrorCode = 0;
  AnsiString Message;
};

class TXbConnection : public TXbNetClient {
public:
  explicit TXbConnection(TComponent* owner);
  ~TXbConnection() override;
  AnsiString ClassName() const override { return "TXbConnection"; }

  bool Active() const { return FActive; }
  virtual void SetActive(bool value);
  const AnsiString& ServerName() const { return FServerName; }
  void SetServerName(const AnsiString& v) { FServerName = v; }
  const AnsiString& GroupName() const { return FGroupName; }
  void SetGroupName(const AnsiString& v) { FGroupName = v; }
  int32_t TimeOut() const { return FTimeOut; }
  void SetTimeOut(int32_t v);
  AnsiString Version() const { return "XbConnection 7.1.0.5"; }
  void SetVersion(const AnsiString&) {}

  // Neither switch is published; tests and programs that want them set them here.
  bool Compression() const { return FCompression; }
  void SetCompression(bool v) { FCompression = v; }
  bool Polling() const { return FPolling; }
  void SetPolling(bool v);
  TTimer& PollTimer() { return *FTimer; }

  bool LoggedIn() const { return FLoggedIn; }
  int32_t CurrentWorkArea() const { return FCurrentWorkArea; }
  const AnsiString& DatabaseAlias() const { return FDatabaseAlias; }
  void SetDatabaseAlias(const AnsiString& v) { FDatabaseAlias = v; }
  const AnsiString& QueryDataPath() const { return FQueryDataPath; }
  void SetQueryDataPath(const AnsiString& v) { FQueryDataPath = v; }
  AnsiString DataDirectory() const;

  void RegisterDataSet(TDataSet* dataSet);
  void UnregisterDataSet(TDataSet* dataSet);
  int32_t DataSetCount() const { return static_cast<int32_t>(FDataSets.size()); }

  bool Login();
  void Logout();
  // Calls OnError, or raises EXbConnectionError "[Where]What".
  void ReportError(const AnsiString& where, const AnsiString& what);

  TSocketConnectionLoginEvent OnLogin;
  TSocketConnectionLogoutEvent OnLogout;
  TSocketConnectionErrorEvent OnError;
  TSocketConnectionServerMsgEvent OnServerMessage;
  TSocketConnectionServerStreamEvent OnServerStream;

  // The send paths and the reply reader.
  AnsiString ClientXmit(const AnsiString& code, const AnsiString& payload, bool awaitAnswer);
  TMemoryStream* ClientStreamReceive(const AnsiString& code, const AnsiString& payload);
  TMemoryStream* ClientStreamSendReceive(const AnsiString& code);
  int32_t FillReadStream(bool polling);
  TMemoryStream& SendStreamBuffer() { return FSendStream; }
  TMemoryStream& AnswerStream() { return FAnswerStream; }

  // Table commands; logical answers are -1 or 0.
  AnsiString Alias(int32_t workArea);
  void AppendBlank();
  int32_t Bof();
  void Close();
  void CloseIndexes();
  void Commit();
  int32_t Count();
  AnsiString DBFilter();
  void Delete();
  int32_t Deleted();
  int32_t Eof();
  int32_t EvalLogical(const AnsiString& expr);
  double EvalNumeric(const AnsiString& expr);
  AnsiString EvalString(const AnsiString& expr);
  int32_t EvalTest(const AnsiString& expr);
  int32_t FieldDecimals(const AnsiString& field);
  AnsiString FieldName(int32_t number);
  int32_t FieldOffset(const AnsiString& field);
  AnsiString FieldType(const AnsiString& field);
  int32_t FieldWidth(const AnsiString& field);
  int32_t FileExists(const AnsiString& databaseName, const AnsiString& fileName);
  int32_t Found();
  // Copies at most size bytes; answers how many came.
  int32_t GetBlob(const AnsiString& field, void* buffer, int32_t size);
  int32_t GetBlobLength(const AnsiString& field);
  AnsiString GetDateString(const AnsiString& field);
  double GetDouble(const AnsiString& field);
  int32_t GetInteger(const AnsiString& field);
  // The text stays in the connection's answer buffer until the next command.
  char* GetMemo(const AnsiString& field, int32_t width);
  // Copies at most size bytes of the record.
  void GetRecord(char* buffer, int32_t size);
  AnsiString GetScope(int32_t which);
  AnsiString GetStructure();
  AnsiString GetTrimString(const AnsiString& field);
  int32_t Go(int32_t recNo);
  void GoBottom();
  void GoTop();
  AnsiString IndexCondition();
  AnsiString IndexKey();
  AnsiString IndexKeyField();
  AnsiString IndexName(int32_t tag);
  int32_t IndexOpen(const AnsiString& file);
  int32_t IndexOrd();
  int32_t IndexType();
  int32_t IsEncrypted(int32_t value);
  void OrderPosSet(double position);
  int32_t PutBlob(const AnsiString& field, const void* data, int32_t length);
  void PutRecord(const char* buffer, int32_t size);
  int32_t QueryRecCount();
  // Answers the first count; the second comes back in recordCount.
  int32_t QueryRowCount(const AnsiString& expr, int32_t& recordCount);
  int32_t QueryTest(const AnsiString& expr);
  int32_t RecCount();
  int32_t RecNo();
  void Replace(const AnsiString& field, int32_t kind, const void* value);
  int32_t Rlock(int32_t recNo);
  int32_t Seek(const AnsiString& key);
  int32_t Select(int32_t workArea);
  int32_t SetCentury(bool on);
  int32_t SetDateFormat(int32_t code);
  int32_t SetDeleted(bool on);
  int32_t SetEpoch(int32_t year);
  int32_t SetExact(bool on);
  void SetLockTimeOut(int32_t seconds);
  int32_t SetMemoBlockSize(int32_t size);
  int32_t SetOrder(int32_t order);
  // The engine twin of xb_SetPassword; named apart from the login Password property.
  void SetTablePassword(const AnsiString& password);
  int32_t SetScope(const AnsiString& low, const AnsiString& high);
  int32_t SetSoftSeek(bool on);
  void SetTranslate(bool on);
  int32_t SetTurboRead(bool on);
  void Skip(int32_t count);
  int32_t SysProp(int32_t property, int32_t value);
  int32_t TagArea(const AnsiString& tag);
  AnsiString TagName(int32_t tag);
  // Answers the last status digit, or -1 when nothing came.
  int32_t TraverseTable(const TXbTraverseRequest& request, int32_t recordSize, std::vector<TXbTraverseEntry>& entries);
  void Unlock(int32_t recNo);
  // The request's fields go out; the result's fields are filled from the answer.
  void Use(const TXbServerOpenRequest& request, TXbServerOpenResult& result);
  int32_t UseEx(const AnsiString& file, const AnsiString& alias, int32_t mode, int32_t kind, int32_t commitLevel);
  AnsiString EngineVersion();
  int32_t WorkArea(const AnsiString& alias);
  // Engine operations without a command.
  void MemDealloc(void*) {}
  void SetStringType(int32_t) {}

  // SQL statements run in the SQL engine on this machine (amLocal) or on the server. A missing
  // SQL engine answers handle 0 with its message and calls nothing.
  int32_t sql_Prepare(TAccessMethod method, const TXbSqlPrepareRequest& request, AnsiString& message);
  TXbSqlOpenResult sql_OpenSQL(TAccessMethod method, int32_t handle, const AnsiString& sql);
  void sql_CloseSQL(TAccessMethod method, int32_t handle);
  void sql_UnPrepare(TAccessMethod method, int32_t handle);
  AnsiString sql_GetStructure(TAccessMethod method, int32_t handle);
  // The record block: count, then identifier and record per row; empty when nothing came.
  AnsiString sql_GetRecord(TAccessMethod method, int32_t handle, int32_t first, int32_t count, int32_t bufferSize);
  // The blob of the row with this identifier; empty for none.
  AnsiString sql_ReadBlobData(TAccessMethod method, int32_t handle, int32_t recordId, int32_t fieldNo);
  // Server procedures: the send stream goes out as the call; nullptr when no answer came.
  TMemoryStream* ExecProc();
  TMemoryStream* SetDLLProcName(const AnsiString& databaseName, const AnsiString& procName);

protected:
  void Notification(TComponent* component, TOperation operation) override;

private:
  void pollTick();
  void stopTimer();
  void restartTimer();
  void dropConnection();
  void lostConnection(const AnsiString& where, const AnsiString& what);
  bool sendFrame(const AnsiString& code, std::string_view payload, bool asStream, const AnsiString& where);
  // Marks one command while it runs: its code, which its answer must carry (or "0000"), and its
  // deadline (none with TimeOut 0).
  class TRunningCommand {
  public:
    TRunningCommand(TXbConnection& connection, const AnsiString& code);
    ~TRunningCommand();

  private:
    TXbConnection& FConnection;
  };
  // Milliseconds the frame may still wait; raises the time-out when none are left.
  int frameWait(const class TTickClock& clock) const;
  void readExact(uint8_t* dst, int64_t n, const class TTickClock& clock);
  void readBody(TMemoryStream& target, int64_t length, const class TTickClock& clock);
  void handleNotice(const AnsiString& kind, TMemoryStream& body);
  // The paths below raise EXbReported once a failure has been reported.
  int32_t fill(bool polling);
  void requireOpen(const AnsiString& code);
  // Reads off frames that came unasked, so that the next frame is the command's answer.
  void readOffWaiting();
  AnsiString transmit(const AnsiString& code, const AnsiString& payload, bool awaitAnswer);
  TMemoryStream* receive(const AnsiString& code, const AnsiString& payload, bool sendStream);
  AnsiString xmit(const AnsiString& code, const AnsiString& payload = {}) { return transmit(code, payload, true); }
  // The answer's bytes, valid until the next command.
  std::string_view streamBytes(const AnsiString& code, const AnsiString& payload = {}, bool sendStream = false);
  AnsiString streamText(const AnsiString& code, const AnsiString& payload = {}, bool sendStream = false) {
    return AnsiString(streamBytes(code, payload, sendStream));
  }
  // How one command reports its failure: "[Where]What", by default "[XbConnection.Op]Op"; a
  // field too wide for its slot says "Op: " and which field. A quiet command reports nothing of
  // its own, not even a failure the connection reported.
  struct TFailureReport {
    AnsiString Op, Where, What;
    bool Quiet = false;
    TFailureReport At(const AnsiString& where) const { return {Op, where, What, Quiet}; }
    TFailureReport Saying(const AnsiString& what) const { return {Op, Where, what, Quiet}; }
    TFailureReport Quietly() const { return {Op, Where, What, true}; }
  };
  static TFailureReport As(const AnsiString& op) { return {op, "XbConnection." + op, op}; }
  // Runs one command's body; a failure is reported as the report says and the fallback answered.
  template <class R, class Body>
  R command(const TFailureReport& report, R fallback, Body body);
  template <class Body>
  void command(const TFailureReport& report, Body body) {
    command<int>(report, 0, [&] { return body(), 0; });
  }

  bool FActive = false;
  AnsiString FServerName;
  AnsiString FGroupName;
  int32_t FTimeOut = 120000;
  bool FCompression = false;
  bool FPolling = true;
  bool FLoggedIn = false;
  int32_t FCurrentWorkArea = 0;
  AnsiString FDatabaseAlias;
  AnsiString FQueryDataPath;
  std::vector<TDataSet*> FDataSets;
  TLimitedMemoryStream FAnswerStream;
  TMemoryStream FSendStream;
  AnsiString FAnswer;
  TTimer* FTimer = nullptr;
  uint64_t FCommandDeadline = 0;
  bool FClosing = false;
  bool FLoginDropped = false;
  AnsiString FCommandCode;
};

template <class R, class Body>
R TXbConnection::command(const TFailureReport& report, R fallback, Body body) {
  try {
    return body();
  } catch (EXbConnectionError&) {
    if (!report.Quiet) throw;
  } catch (EXbReported&) {
  } catch (EXbFieldWidth& e) {
    if (!report.Quiet) ReportError(report.Where, report.Op + ": " + e.Message());
  } catch (Exception&) {
    if (!report.Quiet) ReportError(report.Where, report.What);
  }
  return fallback;
}

// A data set's part when a component goes away: if it is the data set's connection, the data set
// closes (quietly: the connection is half gone) and forgets it.
void ForgetRemovedConnection(TDataSet& dataSet, TXbConnection*& connection, TComponent* component,
                             TOperation operation);

// Puts an environment setting on the connection's wire.
void XbServerSetting(TXbConnection* connection, TXbEnvSetting setting, int32_t value);

// The login payload's reversible substitution.
AnsiString EncodeLoginText(const AnsiString& text);
// The machine identifier sent at login: the root volume's serial number as signed decimal.
int32_t MachineVolumeSerial();
