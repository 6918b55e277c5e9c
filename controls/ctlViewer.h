// The text-file viewer: a whole text file held in memory as a list of lines, fetched by index
// in display form (tabs expanded, unprintable characters replaced).
#pragma once

#include <cstdint>
#include <climits>
#include <memory>
#include <vector>

#include "platform/rtl/AnsiString.h"
#include "platform/classlib/Classes.h"

// The lines of a file, held in one block: each line ends in place with a NUL where its line end
// (or the cut after its first characters) was, and is found by its start offset. Millions of short
// lines then cost four bytes each beyond the file's own size.
class TVwrStringList {
public:
  TVwrStringList() = default;
  TVwrStringList(const TVwrStringList&) = delete;
  TVwrStringList& operator=(const TVwrStringList&) = delete;

  // Reads the whole file; LineLimit is the most characters a line keeps. Raises on read errors.
  void LoadFromFile(int Fd, int LineLimit);
  int Count() const { return int(FStarts.size()); }
  // Index must be in range; the text is NUL-terminated.
  const char* GetText(int Index, int& Length) const;

private:
  std::unique_ptr<char[]> FData;
  std::vector<uint32_t> FStarts;
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
  TCtlCustomTextFileViewer(const TCtlCustomTextFileViewer&) = delete;
  TCtlCustomTextFileViewer& operator=(const TCtlCustomTextFileViewer&) = delete;

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
  std::unique_ptr<TVwrStringList> FLines;
};

class TCtlTextFileViewer final : public TCtlCustomTextFileViewer {
public:
  using TCtlCustomTextFileViewer::TCtlCustomTextFileViewer;
};

// Raises EInOutError with its code and the viewer's text for it, followed by the file's name.
[[noreturn]] void RaiseViewerIOError(int Code, const AnsiString& FileName = "");

// Viewer I/O error codes, as the platform numbers them.
constexpr int vioFileNotFound = 2;
constexpr int vioPathNotFound = 3;
constexpr int vioTooManyOpenFiles = 4;
constexpr int vioAccessDenied = 5;
