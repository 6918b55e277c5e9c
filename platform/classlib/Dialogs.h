// The common dialogs as components: the open dialog with folder navigation, filter and multiple
// selection, and the printer setup dialog. Both are forms of our own built from the standard controls.
#pragma once

#include "platform/rtl/StringList.h"
#include "platform/classlib/Classes.h"
#include "platform/classlib/DialogConsts.h"
#include "platform/classlib/FileDialogModel.h"
#include "platform/classlib/MessageBox.h"

class TCommonDialog : public TComponent {
public:
  explicit TCommonDialog(TComponent* owner) : TComponent(owner) {}
  AnsiString ClassName() const override { return "TCommonDialog"; }
  // Shows the dialog modally; true when the user confirmed it.
  virtual bool Execute() = 0;
  int HelpContext() const { return FHelpContext; }
  void SetHelpContext(int v) { FHelpContext = v; }

private:
  int FHelpContext = 0;
};

class TOpenDialog : public TCommonDialog {
public:
  explicit TOpenDialog(TComponent* owner) : TCommonDialog(owner) {}
  AnsiString ClassName() const override { return "TOpenDialog"; }

  // The folder shown first: InitialDir when it exists, else the folder of FileName, else the current one.
  const AnsiString& InitialDir() const { return FInitialDir; }
  void SetInitialDir(const AnsiString& v) { FInitialDir = v; }
  // The first chosen file after Execute; before it, the name offered in the name field.
  const AnsiString& FileName() const { return FFileName; }
  void SetFileName(const AnsiString& v) { FFileName = v; }
  // Every chosen file, in the order chosen.
  const TStrings& Files() const { return FFiles; }
  // "Description|masks|Description|masks", masks separated by ";".
  const AnsiString& Filter() const { return FFilter; }
  void SetFilter(const AnsiString& v) { FFilter = v; }
  // Counted from 1; Execute leaves the one last chosen.
  int FilterIndex() const { return FFilterIndex; }
  void SetFilterIndex(int v) { FFilterIndex = v; }
  // Without its dot; given to a typed name that has no extension.
  const AnsiString& DefaultExt() const { return FDefaultExt; }
  void SetDefaultExt(const AnsiString& v);
  TOpenOptions Options() const { return FOptions; }
  void SetOptions(TOpenOptions v) { FOptions = v; }
  const AnsiString& Title() const { return FTitle; }
  void SetTitle(const AnsiString& v) { FTitle = v; }

  // Cancel leaves FileName, Files and FilterIndex as they were.
  bool Execute() override;

private:
  AnsiString FInitialDir;
  AnsiString FFileName;
  TStringList FFiles;
  AnsiString FFilter;
  int FFilterIndex = 1;
  AnsiString FDefaultExt;
  TOpenOptions FOptions = 0;
  AnsiString FTitle;
};

// Chooses the current printer, its orientation and the number of copies of Printer().
class TPrinterSetupDialog : public TCommonDialog {
public:
  explicit TPrinterSetupDialog(TComponent* owner) : TCommonDialog(owner) {}
  AnsiString ClassName() const override { return "TPrinterSetupDialog"; }
  bool Execute() override;
};
