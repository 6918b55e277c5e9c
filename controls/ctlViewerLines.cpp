#include "controls/ctlViewerLines.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <new>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "controls/ctlExcept.h"
#include "controls/ctlHelpers.h"
#include "controls/ctlStrRes.h"
#include "controls/ctlStrings.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Files.h"

namespace {

char EmptyText[1] = {'\0'};

constexpr int MaxLineLength = 1023;
constexpr int ReadBufferSize = 8192;
// Zeros after the data: the NUL of the last line, and room to load 64 bytes from anywhere in it.
constexpr std::size_t TailRoom = 64;
constexpr char CtrlZ = 26;
// Line starts are 32-bit offsets into the file's block.
constexpr off_t MaxDataSize = off_t(UINT32_MAX) - 1;
constexpr int vioFileTooLarge = EFBIG;
constexpr const char* kNoMemory = "Viewer: not enough memory to hold %s";

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

// Reads to the end of the file; a file that grew since its size was taken is read whole too.
// Leaves TailRoom bytes after the data.
std::size_t ReadAll(int fd, std::unique_ptr<char[]>& data, std::size_t& capacity) {
  std::size_t fill = 0;
  char probe[ReadBufferSize];
  for (;;) {
    // A full block grows only when the file really holds more.
    char* target = fill < capacity ? data.get() + fill : probe;
    const std::size_t room = fill < capacity ? capacity - fill : sizeof probe;
    const ssize_t n = ::read(fd, target, room);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int err = errno;
      throw EInOutError(SysErrorMessage(err), err);
    }
    if (n == 0) return fill;
    if (target == probe) {
      const std::size_t grown = capacity + capacity / 2 + ReadBufferSize;
      auto bigger = std::make_unique_for_overwrite<char[]>(grown + TailRoom);
      std::memcpy(bigger.get(), data.get(), fill);
      std::memcpy(bigger.get() + fill, probe, std::size_t(n));
      data = std::move(bigger);
      capacity = grown;
    }
    fill += std::size_t(n);
  }
}

// Bit i is set where p[i] is a CR, an LF or a Ctrl-Z; 64 bytes are loaded from p.
uint64_t LineEndBits(const char* p) {
#if defined(__SSE2__)
  const __m128i cr = _mm_set1_epi8('\r'), lf = _mm_set1_epi8('\n'), eof = _mm_set1_epi8(CtrlZ);
  uint64_t bits = 0;
  for (int k = 0; k < 4; ++k) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
    const __m128i hits =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)), _mm_cmpeq_epi8(v, eof));
    bits |= uint64_t(uint32_t(_mm_movemask_epi8(hits))) << (16 * k);
  }
  return bits;
#else
  uint64_t bits = 0;
  for (int i = 0; i < 64; ++i)
    if (p[i] == '\r' || p[i] == '\n' || p[i] == CtrlZ) bits |= uint64_t(1) << i;
  return bits;
#endif
}

// Large buffers in huge pages: far fewer page faults while the file is read in.
void AdviseHugePages(char* data, std::size_t size) {
  constexpr std::uintptr_t huge = std::uintptr_t(2) << 20;
  const std::uintptr_t from = (reinterpret_cast<std::uintptr_t>(data) + huge - 1) & ~(huge - 1);
  const std::uintptr_t to = (reinterpret_cast<std::uintptr_t>(data) + size) & ~(huge - 1);
  if (to > from) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
}

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

void RaiseViewerIOError(int Code, const AnsiString& FileName) {
  int id;
  switch (Code) {
    case vioFileNotFound: id = 30233; break;
    case vioPathNotFound: id = 30234; break;
    case vioTooManyOpenFiles: id = 30235; break;
    case vioAccessDenied: id = 30236; break;
    default: id = 30232; break;
  }
  AnsiString text = id == 30232 ? Format(CtlStringById(id), {Code}) : CtlStringById(id);
  if (!FileName.empty()) text += ": " + FileName;
  throw EInOutError(text, Code);
}

void TVwrStringList::LoadFromFile(int Fd, int LineLimit) {
  struct stat st {};
  std::size_t capacity = ::fstat(Fd, &st) == 0 && S_ISREG(st.st_mode) ? std::size_t(st.st_size) : 0;
  FData = std::make_unique_for_overwrite<char[]>(capacity + TailRoom);
  AdviseHugePages(FData.get(), capacity + TailRoom);
  const std::size_t size = ReadAll(Fd, FData, capacity);
  if (size > std::size_t(MaxDataSize)) RaiseViewerIOError(vioFileTooLarge);
  char* const data = FData.get();
  std::memset(data + size, 0, TailRoom);
  // One pass, 64 bytes a step: each line end (CR LF, CR or LF) becomes the end of its text;
  // Ctrl-Z ends the data.
  FStarts.clear();
  FStarts.reserve(size / 32 + 16);
  const auto addLine = [&](std::size_t start, std::size_t end) {
    if (FStarts.size() >= std::size_t(INT_MAX) - 1) RaiseViewerIOError(vioFileTooLarge);
    FStarts.push_back(uint32_t(start));
    if (end - start > std::size_t(LineLimit)) data[start + std::size_t(LineLimit)] = '\0';
  };
  std::size_t line = 0;
  std::size_t end = size;
  for (std::size_t block = 0; block < size && end == size; block += 64) {
    uint64_t hits = LineEndBits(data + block);
    if (size - block < 64) hits &= (uint64_t(1) << (size - block)) - 1;
    for (; hits; hits &= hits - 1) {
      const std::size_t e = block + std::size_t(__builtin_ctzll(hits));
      if (e < line) continue;  // the LF of a CR LF
      if (data[e] == CtrlZ) {
        end = e;
        break;
      }
      addLine(line, e);
      const bool pair = e + 1 < size && data[e] == '\r' && data[e + 1] == '\n';
      data[e] = '\0';
      line = e + (pair ? 2 : 1);
    }
  }
  data[end] = '\0';
  // The last line has no end of its own.
  if (line < end) addLine(line, end);
  // The empty line after the file's lines.
  FStarts.push_back(uint32_t(end));
}

const char* TVwrStringList::GetText(int Index, int& Length) const {
  const char* text = FData.get() + FStarts[std::size_t(Index)];
  Length = int(std::strlen(text));
  return text;
}

int TCtlBaseViewer::FetchDisplayLine(int LineIndex, char* Dest, int DestLen) {
  int n = 0;
  const char* text = GetLineText(LineIndex, n);
  if (n == 0 || DestLen <= 0) {
    Dest[0] = '\0';
    return 0;
  }
  int len;
  if (!std::memchr(text, '\t', std::size_t(n))) {
    len = std::min(n, DestLen);
    std::memcpy(Dest, text, std::size_t(len));
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
    len = int(::strnlen(Dest, std::size_t(DestLen)));
  }
  // One unsigned compare per character tests both ends of the range, and runs on whole vectors.
  const uint8_t first = FFirstChar, span = uint8_t(FLastChar - FFirstChar), fallback = FDefaultChar;
  auto* d = reinterpret_cast<uint8_t*>(Dest);
  if (FLastChar < FFirstChar) std::memset(d, fallback, std::size_t(len));  // an empty range
  else
    for (int i = 0; i < len; ++i) d[i] = uint8_t(d[i] - first) > span ? fallback : d[i];
  return len;
}

TCtlCustomTextFileViewer::TCtlCustomTextFileViewer(TComponent* AOwner) : TCtlBaseViewer(AOwner) {}

TCtlCustomTextFileViewer::~TCtlCustomTextFileViewer() = default;

const char* TCtlCustomTextFileViewer::GetLineText(int LineIndex, int& Length) {
  if (FLines && LineIndex >= 0 && LineIndex < FLines->Count()) return FLines->GetText(LineIndex, Length);
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
  FLines.reset();
  SetLineCount(0);
}

void TCtlCustomTextFileViewer::Load() {
  if (FFileName.empty()) return;
  try {
    try {
      const TCtlBusyCursor busy(HandleAllocated());
      TFd file(::open(FFileName.c_str(), O_RDONLY | O_CLOEXEC));
      if (file.Get() < 0) RaiseViewerIOError(ErrnoToViewerCode(errno, FFileName), FFileName);
      const off_t size = ::lseek(file.Get(), 0, SEEK_END);
      if (size < 0) RaiseViewerIOError(ErrnoToViewerCode(errno, FFileName), FFileName);
      // A folder opens for reading but cannot be read as a file.
      if (DirectoryExists(FFileName)) RaiseViewerIOError(vioAccessDenied, FFileName);
      if (size > MaxDataSize) RaiseViewerIOError(vioFileTooLarge, FFileName);
      if (::lseek(file.Get(), 0, SEEK_SET) < 0) RaiseViewerIOError(ErrnoToViewerCode(errno, FFileName), FFileName);
      SetLineCount(0);
      auto lines = std::make_unique<TVwrStringList>();
      lines->LoadFromFile(file.Get(), MaxLineLength);
      if (::close(file.Release()) != 0) {
        const int err = errno;
        throw EInOutError(SysErrorMessage(err), err);
      }
      FLines = std::move(lines);
      SetLineCount(FLines->Count());
    } catch (const std::bad_alloc&) {
      throw EOutOfMemory(kNoMemory, {FFileName});
    }
  } catch (...) {
    FLines.reset();
    SetLineCount(0);
    // The designer shows an empty viewer rather than an error.
    if (!HasState(csDesigning)) throw;
  }
}
