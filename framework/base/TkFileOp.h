// Copy, move, rename and delete of a list of files through the shell's file operation.
#pragma once

#include <cstdint>

#include "framework/base/TkBase.h"
#include "framework/base/TkConst.h"
#include "framework/base/TkShBase.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/StringList.h"

// Argument errors of a file operation, numbered as in the tool library's string table.
class ETkFileOpError : public ETkException {
public:
  using ETkException::ETkException;
};

enum class TTkFileOp { fopCopy, fopDelete, fopMove, fopRename };

// Members in bit order.
enum class TTkFileOpOption : uint8_t {
  foAllowUndo, foFilesOnly, foNoConfirmation, foNoConfirmMkDir, foNoErrorUI, foRenameCollision, foSilent,
  foSimpleProgress,
};

class TTkFileOpOptions {
public:
  TTkFileOpOptions() = default;
  TTkFileOpOptions(std::initializer_list<TTkFileOpOption> members) {
    for (TTkFileOpOption m : members) FBits |= bit(m);
  }
  bool Contains(TTkFileOpOption m) const { return FBits & bit(m); }
  TTkFileOpOptions& Include(TTkFileOpOption m) { FBits |= bit(m); return *this; }
  TTkFileOpOptions& Exclude(TTkFileOpOption m) { FBits &= static_cast<uint8_t>(~bit(m)); return *this; }
  uint8_t Bits() const { return FBits; }
  friend bool operator==(TTkFileOpOptions, TTkFileOpOptions) = default;

private:
  static uint8_t bit(TTkFileOpOption m) { return static_cast<uint8_t>(1u << static_cast<unsigned>(m)); }
  uint8_t FBits = 0;
};

class TTkCustomFileOperation : public TTkShellComponent {
public:
  explicit TTkCustomFileOperation(TComponent* AOwner = nullptr) : TTkShellComponent(AOwner) {}

  bool ConfirmFiles() const { return FConfirmFiles; }
  void SetConfirmFiles(bool Value) { FConfirmFiles = Value; }
  const AnsiString& Destination() const { return FDestination; }
  // Trailing path delimiters are dropped.
  void SetDestination(const AnsiString& Value);
  TTkFileOp Operation() const { return FOperation; }
  void SetOperation(TTkFileOp Value) { FOperation = Value; }
  TTkFileOpOptions Options() const { return FOptions; }
  void SetOptions(TTkFileOpOptions Value) { FOptions = Value; }
  const AnsiString& SimpleText() const { return FSimpleText; }
  void SetSimpleText(const AnsiString& Value) { FSimpleText = Value; }
  // Plain names, or "source=destination" lines (not for delete).
  TStringList& SourceFiles() { return FSourceFiles; }
  bool AnyOperationsAborted() const { return FAborted; }

  // True when the operation succeeded; argument errors raise ETkFileOpError.
  virtual bool Execute();

private:
  bool FConfirmFiles = true;
  AnsiString FDestination;
  TTkFileOp FOperation = TTkFileOp::fopCopy;
  TTkFileOpOptions FOptions{TTkFileOpOption::foAllowUndo, TTkFileOpOption::foFilesOnly,
                            TTkFileOpOption::foSilent};
  AnsiString FSimpleText;
  TStringList FSourceFiles;
  bool FAborted = false;
};

class TTkFileOperation final : public TTkCustomFileOperation {
public:
  using TTkCustomFileOperation::TTkCustomFileOperation;
};
