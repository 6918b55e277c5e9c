#include "controls/ctlViewer.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <new>
#include <string>
#include <unistd.h>
#include <vector>

#include "controls/ctlStrRes.h"
#include "controls/ctlStrings.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Files.h"

namespace {

char EmptyText[1] = {'\0'};

constexpr int MaxLineLength = 1023;
constexpr int SmallBufferSize = 128;
constexpr int ReadBufferSize = 8192;
constexpr char CtrlZ = 26;

int ErrnoToViewerCode(int err, const AnsiString& name) {
  switch (err) {
    case ENOENT: {
      const AnsiString dir = ExtractFileDir(name);
      return (dir.empty() || DirectoryExists(dir)) ? vioFileNotFound : vioPathNotFound;
    }
    case ENOTDIR:
    case ENAMETOOLONG:
    case EISDIR:
      return vioPathNotFound;
    case EMFILE:
    case ENFILE:
      return vioTooManyOpenFiles;
    case EACCES:
    case EPERM:
      return vioAccessDenied;
    default:
      return err;
  }
}

const char* FindLineEnd(const char* start, const char* end) {
  const char* p = static_cast<const char*>(std::memchr(start, '\n', std::size_t(end - start)));
  if (!p) p = end;
  if (const void* cr = std::memchr(start, '\r', std::size_t(p - start))) p = static_cast<const char*>(cr);
  if (const void* z = std::memchr(start, CtrlZ, std::size_t(p - start))) p = static_cast<const char*>(z);
  return p;
}

// Buffered reader of text lines: CR LF, CR and LF each end a line; Ctrl-Z ends the data.
class TLineReader {
public:
  explicit TLineReader(int fd) : FFd(fd) {
    try {
      FLarge = std::make_unique<char[]>(ReadBufferSize);
      FBuffer = FLarge.get();
      FCapacity = ReadBufferSize;
    } catch (const std::bad_alloc&) {
    }
  }

  bool Eof() {
    if (FPos < FFill) return FBuffer[FPos] == CtrlZ;
    if (FEnded) return true;
    Fill();
    return FPos >= FFill || FBuffer[FPos] == CtrlZ;
  }

  // Keeps at most MaxLineLength characters; the rest of the line and its end are skipped.
  void ReadLine(std::string& line) {
    line.clear();
    for (;;) {
      if (FPos >= FFill && !Fill()) return;
      const char* start = FBuffer + FPos;
      const char* end = FBuffer + FFill;
      const char* p = FindLineEnd(start, end);
      const std::size_t room = std::size_t(MaxLineLength) - line.size();
      line.append(start, std::min(std::size_t(p - start), room));
      FPos = int(p - FBuffer);
      if (p == end) continue;
      const char c = *p;
      if (c == CtrlZ) return;
      ++FPos;
      if (c == '\r' && (FPos < FFill || Fill()) && FBuffer[FPos] == '\n') ++FPos;
      return;
    }
  }

private:
  bool Fill() {
    if (FEnded) return false;
    FPos = 0;
    FFill = 0;
    ssize_t n;
    do {
      n = ::read(FFd, FBuffer, std::size_t(FCapacity));
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
      const int err = errno;
      FEnded = true;
      throw EInOutError(SysErrorMessage(err), err);
    }
    if (n == 0) {
      FEnded = true;
      return false;
    }
    FFill = int(n);
    return true;
  }

  int FFd;
  char FSmall[SmallBufferSize];
  std::unique_ptr<char[]> FLarge;
  char* FBuffer = FSmall;
  int FCapacity = SmallBufferSize;
  int FPos = 0;
  int FFill = 0;
  bool FEnded = false;
};

class TFd {
public:
  explicit TFd(int fd) : FFd(fd) {}
  ~TFd() {
    if (FFd >= 0) ::close(FFd);
  }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  int Get() const { return FFd; }
  int Release() {
    const int fd = FFd;
    FFd = -1;
    return fd;
  }

private:
  int FFd;
};

}  // namespace

void RaiseViewerIOError(int Code) {
  int id;
  switch (Code) {
    case vioFileNotFound: id = 30233; break;
    case vioPathNotFound: id = 30234; break;
    case vioTooManyOpenFiles: id = 30235; break;
    case vioAccessDenied: id = 30236; break;
    default: throw EInOutError(Format(CtlStringById(30232), {Code}), Code);
  }
  throw EInOutError(CtlStringById(id), Code);
}

TStringNode::TStringNode(const char* text, int length) : FText(EmptyText), FLength(0) {
  const std::size_t n = text ? ::strnlen(text, std::size_t(length < 0 ? 0 : length)) : 0;
  if (n == 0) return;
  FText = new char[n + 1];
  std::memcpy(FText, text, n);
  FText[n] = '\0';
  FLength = int(n);
}

TStringNode::~TStringNode() {
  if (FLength != 0) delete[] FText;
}

TVwrStringList::TVwrStringList() : FHead(new TStringNode(nullptr, 0)), FTail(new TStringNode(nullptr, 0)) {
  FHead->Next = FTail;
  FTail->Prev = FHead;
}

TVwrStringList::~TVwrStringList() {
  TStringNode* node = FTail;
  while (node) {
    TStringNode* prev = node->Prev;
    delete node;
    node = prev;
  }
}

void TVwrStringList::Append(TStringNode* Node) {
  if (!Node) return;
  Node->Prev = FTail->Prev;
  Node->Next = FTail;
  FTail->Prev->Next = Node;
  FTail->Prev = Node;
  ++FCount;
}

TStringNode* TVwrStringList::NodeAt(int Index) {
  if (Index < 0 || Index >= FCount) return nullptr;
  TStringNode* node = nullptr;
  if (Index == 0) {
    node = FHead->Next;
  } else if (Index == FCount - 1) {
    node = FTail->Prev;
  } else if (FCursorIndex >= 0 && Index == FCursorIndex) {
    node = FCursorNode;
  } else if (FCursorIndex >= 0 && Index == FCursorIndex + 1) {
    node = FCursorNode->Next;
  } else if (FCursorIndex >= 0 && Index == FCursorIndex - 1) {
    node = FCursorNode->Prev;
  } else {
    const int fromCursor = FCursorIndex < 0 ? INT_MAX
                                            : (Index > FCursorIndex ? Index - FCursorIndex : FCursorIndex - Index);
    const int fromTail = FCount - Index - 1;
    if (Index < fromCursor && Index < fromTail) {
      node = FHead;
      for (int i = 0; i <= Index; ++i) node = node->Next;
    } else if (fromTail < fromCursor) {
      node = FTail;
      for (int i = 0; i < FCount - Index; ++i) node = node->Prev;
    } else {
      node = FCursorNode;
      for (int i = 0; i < fromCursor; ++i) node = Index > FCursorIndex ? node->Next : node->Prev;
    }
  }
  FCursorIndex = Index;
  FCursorNode = node;
  return node;
}

int TCtlBaseViewer::FetchDisplayLine(int LineIndex, char* Dest, int DestLen) {
  int n = 0;
  const char* text = GetLineText(LineIndex, n);
  if (n == 0 || DestLen <= 0) {
    Dest[0] = '\0';
    return 0;
  }
  if (!std::memchr(text, '\t', std::size_t(n))) {
    const std::size_t len = ::strnlen(text, std::size_t(std::min(n, DestLen)));
    std::memcpy(Dest, text, len);
    Dest[len] = '\0';
  } else {
    int width = 0;
    for (int i = 0; i < n; ++i) width = text[i] == '\t' ? (width / FTabSize + 1) * FTabSize : width + 1;
    if (width <= DestLen) {
      ExpandTabsInto(Dest, text, FTabSize);
    } else {
      std::vector<char> wide(std::size_t(width) + 1);
      ExpandTabsInto(wide.data(), text, FTabSize);
      std::memcpy(Dest, wide.data(), std::size_t(DestLen));
      Dest[DestLen] = '\0';
    }
  }
  const int len = int(::strnlen(Dest, std::size_t(DestLen)));
  const uint8_t first = FFirstChar, last = FLastChar, fallback = FDefaultChar;
  auto* d = reinterpret_cast<uint8_t*>(Dest);
  for (int i = 0; i < len; ++i) d[i] = d[i] < first || d[i] > last ? fallback : d[i];
  return len;
}

TCtlCustomTextFileViewer::TCtlCustomTextFileViewer(TComponent* AOwner) : TCtlBaseViewer(AOwner) {}

TCtlCustomTextFileViewer::~TCtlCustomTextFileViewer() { delete FLines; }

const char* TCtlCustomTextFileViewer::GetLineText(int LineIndex, int& Length) {
  if (FLines && LineIndex >= 0 && LineIndex < FLines->Count()) {
    if (TStringNode* node = FLines->NodeAt(LineIndex)) return node->GetText(Length);
  }
  Length = 0;
  return EmptyText;
}

int TCtlCustomTextFileViewer::ClampLine(int LineIndex) {
  if (LineIndex < 0) return 0;
  return std::min(LineIndex, LineCount() - 1);
}

void TCtlCustomTextFileViewer::SetFileName(const AnsiString& Value) {
  const bool wasOpen = IsOpen();
  SetIsOpen(false);
  FFileName = Value;
  FFileNameUpper = UpperCase(Value);
  if (wasOpen) SetIsOpen(true);
}

void TCtlCustomTextFileViewer::SetIsOpen(bool Value) {
  if (Value == IsOpen()) return;
  if (Value) Load();
  else Close();
}

void TCtlCustomTextFileViewer::Close() {
  delete FLines;
  FLines = nullptr;
  SetLineCount(0);
}

void TCtlCustomTextFileViewer::Load() {
  if (FFileName.empty()) return;
  try {
    {
      TFd probe(::open(FFileName.c_str(), O_RDONLY | O_CLOEXEC));
      if (probe.Get() < 0) RaiseViewerIOError(ErrnoToViewerCode(errno, FFileName));
      if (::lseek(probe.Get(), 0, SEEK_END) < 0) RaiseViewerIOError(ErrnoToViewerCode(errno, FFileName));
      // A folder opens for reading but cannot be read as a file.
      if (DirectoryExists(FFileName)) RaiseViewerIOError(vioAccessDenied);
    }
    SetLineCount(0);
    FLines = new TVwrStringList;
    TFd file(::open(FFileName.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.Get() < 0) {
      const int err = errno;
      throw EInOutError(SysErrorMessage(err), err);
    }
    try {
      TLineReader reader(file.Get());
      std::string line;
      line.reserve(MaxLineLength);
      while (!reader.Eof()) {
        reader.ReadLine(line);
        FLines->Append(new TStringNode(line.data(), int(line.size())));
      }
      FLines->Append(new TStringNode(nullptr, 0));
    } catch (...) {
      SetLineCount(FLines->Count());
      throw;
    }
    if (::close(file.Release()) != 0) {
      const int err = errno;
      throw EInOutError(SysErrorMessage(err), err);
    }
    SetLineCount(FLines->Count());
  } catch (...) {
    delete FLines;
    FLines = nullptr;
    SetLineCount(0);
    // The designer shows an empty viewer rather than an error.
    if (!HasState(csDesigning)) throw;
  }
}
