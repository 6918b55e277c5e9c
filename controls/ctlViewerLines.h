// The viewer's line source: a whole text file held in memory as a list of lines, fetched by
// index in display form (tabs expanded, unprintable characters replaced).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "controls/ctlViewerDisplay.h"
#include "platform/rtl/AnsiString.h"

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
  // The same text without taking its length; sixteen bytes can be loaded from its start.
  const char* Text(int Index) const { return FData.get() + FStarts[std::size_t(Index)]; }

private:
  std::unique_ptr<char[]> FData;
  std::vector<uint32_t> FStarts;
};

class TCtlCustomTextFileViewer : public TCtlBaseViewer {
public:
  explicit TCtlCustomTextFileViewer(TComponent* AOwner = nullptr);
  ~TCtlCustomTextFileViewer() override;
  AnsiString ClassName() const override { return "TCtlCustomTextFileViewer"; }
  TCtlCustomTextFileViewer(const TCtlCustomTextFileViewer&) = delete;
  TCtlCustomTextFileViewer& operator=(const TCtlCustomTextFileViewer&) = delete;

  // Final: LineTextAt must give the same lines.
  const char* GetLineText(int LineIndex, int& Length) final;
  int ClampLine(int LineIndex) final;
  // The raw text of a line in range (0 <= LineIndex < LineCount()), NUL-terminated, with sixteen
  // bytes loadable from its start; for readers that look at a few characters of millions of lines.
  const char* LineTextAt(int LineIndex) const { return FLines->Text(LineIndex); }

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
  AnsiString ClassName() const override { return "TCtlTextFileViewer"; }
};

// Raises EInOutError with its code and the viewer's text for it, followed by the file's name.
[[noreturn]] void RaiseViewerIOError(int Code, const AnsiString& FileName = "");

// Viewer I/O error codes, as the platform numbers them.
constexpr int vioFileNotFound = 2;
constexpr int vioPathNotFound = 3;
constexpr int vioTooManyOpenFiles = 4;
constexpr int vioAccessDenied = 5;
