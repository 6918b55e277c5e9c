// Byte streams of the run-time: files with open and share modes, memory and strings.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/rtl/AnsiString.h"

enum TSeekOrigin { soFromBeginning = 0, soFromCurrent = 1, soFromEnd = 2 };

class TStream {
public:
  virtual ~TStream() = default;
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;

  int64_t Position() { return Seek(0, soFromCurrent); }
  void SetPosition(int64_t p) { Seek(p, soFromBeginning); }
  virtual int64_t Size();
  virtual void SetSize(int64_t newSize);

  // Raise EReadError / EWriteError when fewer bytes move than asked.
  void ReadBuffer(void* buffer, int64_t count);
  void WriteBuffer(const void* buffer, int64_t count);
  // Copies count bytes from source's position (count 0: the whole source from its start).
  int64_t CopyFrom(TStream& source, int64_t count);
};

// Open modes and share modes keep the run-time's values; they are or-ed together.
constexpr uint32_t fmOpenRead = 0x0000;
constexpr uint32_t fmOpenWrite = 0x0001;
constexpr uint32_t fmOpenReadWrite = 0x0002;
constexpr uint32_t fmShareCompat = 0x0000;
constexpr uint32_t fmShareExclusive = 0x0010;
constexpr uint32_t fmShareDenyWrite = 0x0020;
constexpr uint32_t fmShareDenyRead = 0x0030;
constexpr uint32_t fmShareDenyNone = 0x0040;
constexpr uint32_t fmCreate = 0xFFFF;

// A file opened with share modes honoured within this process: a file held deny-write cannot be
// opened for writing again, deny-all refuses every other open, and creating a file that is open
// here raises EFCreateError instead of truncating it.
class TFileStream : public TStream {
public:
  TFileStream(const AnsiString& fileName, uint32_t mode);
  // Takes over handle, a file just made under fileName and open for reading and writing, as if
  // it had been created here.
  TFileStream(const AnsiString& fileName, int handle);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  // The position is kept here, so asking for it costs no system call; nothing else moves the
  // handle's offset.
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override;
  void SetSize(int64_t newSize) override;
  const AnsiString& FileName() const { return FFileName; }
  int Handle() const { return FHandle; }

private:
  AnsiString FFileName;
  int FHandle = -1;
  int64_t FPosition = 0;
  bool FRegular = false;
  uint64_t FShareKey = 0;
};

class TCustomMemoryStream : public TStream {
public:
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return static_cast<int64_t>(FData.size()); }
  const uint8_t* Memory() const { return FData.data(); }
  uint8_t* Memory() { return FData.data(); }
  void SaveToStream(TStream& s) const;
  void SaveToFile(const AnsiString& fileName) const;

protected:
  std::vector<uint8_t> FData;
  int64_t FPosition = 0;
};

class TMemoryStream : public TCustomMemoryStream {
public:
  int64_t Write(const void* buffer, int64_t count) override;
  void SetSize(int64_t newSize) override;
  void Clear() { FData.clear(); FPosition = 0; }
  void LoadFromStream(TStream& s);
  void LoadFromFile(const AnsiString& fileName);
};

class TStringStream : public TStream {
public:
  explicit TStringStream(AnsiString s = {}) : FData(std::move(s)) {}
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  void SetSize(int64_t newSize) override;
  const AnsiString& DataString() const { return FData; }
  AnsiString ReadString(int64_t count);
  void WriteString(const AnsiString& s) { Write(s.data(), static_cast<int64_t>(s.size())); }

private:
  AnsiString FData;
  int64_t FPosition = 0;
};
