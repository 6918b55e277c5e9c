// Settings stores of the forms: a nested-open section/item/value store and its ini-file form.
#pragma once

#include <memory>

#include "controls/ctlBase.h"
#include "controls/ctlExcept.h"
#include "platform/rtl/AnsiString.h"
#include "platform/classlib/Classes.h"

// Misuse of a store (reading or writing while it is closed) and failures to write its file.
QUORVEX_EXCEPTION(ECtlStoreError, ECtlException);

class TCtlAbstractStore : public TCtlComponent {
public:
  explicit TCtlAbstractStore(TComponent* AOwner) : TCtlComponent(AOwner) {}

  // Opens nest: only the first Open opens the backing store, the matching Close closes it.
  void Open();
  void Close();
  bool IsOpen() const { return FOpenCount > 0; }
  int OpenCount() const { return FOpenCount; }

  virtual AnsiString ReadString(const AnsiString& Section, const AnsiString& Item,
                                const AnsiString& Default) = 0;
  virtual void WriteString(const AnsiString& Section, const AnsiString& Item, const AnsiString& Value) = 0;
  virtual void EraseSection(const AnsiString& Section);

  int ReadInteger(const AnsiString& Section, const AnsiString& Item, int Default);
  void WriteInteger(const AnsiString& Section, const AnsiString& Item, int Value);

protected:
  virtual void OpenStorage() = 0;
  virtual void CloseStorage() = 0;

private:
  int FOpenCount = 0;
};

class TCtlIniFile;

class TCtlIniFileStore : public TCtlAbstractStore {
public:
  explicit TCtlIniFileStore(TComponent* AOwner = nullptr);
  ~TCtlIniFileStore() override;

  // At run time an empty name reads back as the program's file name with ".INI", without its folder,
  // and a name without an extension gets ".INI".
  AnsiString IniFileName() const;
  void SetIniFileName(const AnsiString& Value) { FIniFileName = Value; }
  bool UseExeDir() const { return FUseExeDir; }
  void SetUseExeDir(bool Value) { FUseExeDir = Value; }
  // The file that OpenStorage reads and CloseStorage writes.
  AnsiString StoragePath() const;

  AnsiString ReadString(const AnsiString& Section, const AnsiString& Item,
                        const AnsiString& Default) override;
  void WriteString(const AnsiString& Section, const AnsiString& Item, const AnsiString& Value) override;
  void EraseSection(const AnsiString& Section) override;

protected:
  void OpenStorage() override;
  // Writes the file when anything changed; the file is on disk when this returns.
  void CloseStorage() override;

private:
  TCtlIniFile& checkOpen(const char* what);

  AnsiString FIniFileName;
  bool FUseExeDir = false;
  std::unique_ptr<TCtlIniFile> FIniFile;
};
