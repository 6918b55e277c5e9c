// The text-file viewer: a whole text file held in memory as a list of lines, fetched by index
// in display form (tabs expanded, unprintable characters replaced).
#pragma once

#include <cstdint>
#include <climits>

#include "platform/rtl/AnsiString.h"
#include "platform/classlib/Classes.h"

// One line; a line of length 0 points at a shared empty text and owns nothing.
class TStringNode {
public:
  TStringNode(const char* text, int length);
  ~TStringNode();
  TStringNode(const TStringNode&) = delete;
  TStringNode& operator=(const TStringNode&) = delete;

  const char* GetText(int& Length) const {
    Length = FLength;
    return FText;
  }

  TStringNode* Next = nullptr;
  TStringNode* Prev = nullptr;

private:
  char* FText;
  int FLength;
};

// Doubly linked lines between two sentinels, with a cursor that makes sequential lookups one step.
class TVwrStringList {
public:
  TVwrStringList();
  ~TVwrStringList();
  TVwrStringList(const TVwrStringList&) = delete;
  TVwrStringList& operator=(const TVwrStringList&) = delete;

  void Append(TStringNode* Node);  // takes ownership; nil is ignored
  TStringNode* NodeAt(int Index);
  int Count() const { return FCount; }

private:
  TStringNode* FHead;
  TStringNode* FTail;
  int FCount = 0;
  int FCursorIndex = -1;
  TStringNode* FCursorNode = nullptr;
};

class TCtlBaseViewer : public TComponent {
public:
  explicit TCtlBaseViewer(TComponent* AOwner = nullptr) : TComponent(AOwner) {}

  virtual const char* GetLineText(int LineIndex, int& Length) = 0;
  virtual int ClampLine(int LineIndex) { return LineIndex; }

  // Writes at most DestLen characters and a NUL (Dest holds DestLen + 1 bytes); returns the length.
  int FetchDisplayLine(int LineIndex, char* Dest, int DestLen);

  int LineCount() const { return FLineCount; }
  uint8_t TabSize() const { return FTabSize; }
  void SetTabSize(uint8_t Value) {
    if (Value != 0) FTabSize = Value;
  }
  // The range of characters shown as they are; the rest show as DefaultChar. Set at
  // construction so that a viewer without a window or font never filters with an unset range.
  uint8_t FirstChar() const { return FFirstChar; }
  uint8_t LastChar() const { return FLastChar; }
  uint8_t DefaultChar() const { return FDefaultChar; }

protected:
  void SetLineCount(int N) { FLineCount = N; }

private:
  int FLineCount = 0;
  uint8_t FTabSize = 8;
  uint8_t FFirstChar = 32;
  uint8_t FLastChar = 255;
  uint8_t FDefaultChar = ' ';
};

class TCtlCustomTextFileViewer : public TCtlBaseViewer {
public:
  explicit TCtlCustomTextFileViewer(TComponent* AOwner = nullptr);
  ~TCtlCustomTextFileViewer() override;

  const char* GetLineText(int LineIndex, int& Length) override;
  int ClampLine(int LineIndex) override;

  // Read back upper-cased; the file is opened under the name as it was given.
  AnsiString FileName() const { return FFileNameUpper; }
  void SetFileName(const AnsiString& Value);
  bool IsOpen() const { return FLines != nullptr; }
  void SetIsOpen(bool Value);

private:
  void Load();
  void Close();

  AnsiString FFileName;
  AnsiString FFileNameUpper;
  TVwrStringList* FLines = nullptr;
};

class TCtlTextFileViewer final : public TCtlCustomTextFileViewer {
public:
  using TCtlCustomTextFileViewer::TCtlCustomTextFileViewer;
};

// Raises EInOutError with its code and the viewer's text for it.
[[noreturn]] void RaiseViewerIOError(int Code);

// Viewer I/O error codes, as the platform numbers them.
constexpr int vioFileNotFound = 2;
constexpr int vioPathNotFound = 3;
constexpr int vioTooManyOpenFiles = 4;
constexpr int vioAccessDenied = 5;
