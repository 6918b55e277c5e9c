// Traditional zip encryption: three keys driven by CRC-32, a 12-byte header in front of the data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "platform/rtl/AnsiString.h"

class TStream;

class TZpZDecoder {
public:
  // oneByteCheck: only header byte 11 is checked (the engine always uses that); crc is the item's
  // CRC-32, whose high bytes are the check bytes; stream is where the header is read or written,
  // from its position at this call.
  TZpZDecoder(const AnsiString& password, bool oneByteCheck, uint32_t crc, TStream* stream);

  static constexpr int HeaderSize = 12;

  const AnsiString& Password() const { return FPassword; }
  void SetPassword(const AnsiString& value) { FPassword = value; }
  uint32_t CRC() const { return FCRC; }
  void SetCRC(uint32_t value) { FCRC = value; }
  int Attempts() const { return FAttempts; }
  void SetAttempts(int value) { FAttempts = value; }
  // Items written with a data descriptor (flag bit 3) are checked against the high byte of their
  // DOS time as well, since common writers put the time there.
  void SetCheckTime(uint16_t dosTime) { FCheckTime = dosTime; FHasCheckTime = true; }
  // The stream the header goes to or comes from; its position now is where the header starts.
  void SetStream(TStream* stream);

  void InitKeys();
  uint8_t DecodeByte(uint8_t c);
  uint8_t EncodeByte(uint8_t c);
  void EncodeBuffer(void* buffer, std::size_t count);
  void DecodeBuffer(void* buffer, std::size_t count);

  // Writes a fresh 12-byte header at the remembered position; the keys are then ready for data.
  void WriteHeader();
  // Reads and checks the header, asking OnNeedPassword after a mismatch; raises
  // EZpZipInvalidPassword when the attempts run out. The keys are then ready for data.
  void VerifyHeader();
  // How many passwords the last VerifyHeader tried, the one that passed included.
  int AttemptsUsed() const { return FAttemptsUsed; }

  // May replace the password to try next.
  std::function<void(AnsiString& password)> OnNeedPassword;

private:
  void UpdateKeys(uint8_t c);
  uint8_t StreamByte() const;
  bool HeaderMatches(const uint8_t* header) const;

  AnsiString FPassword;
  TStream* FStream = nullptr;
  int64_t FStart = 0;
  uint32_t FCRC = 0;
  bool FOneByteCheck = true;
  bool FHasCheckTime = false;
  uint16_t FCheckTime = 0;
  int FAttempts = 3;
  int FAttemptsUsed = 0;
  uint32_t FKeys[3] = {0, 0, 0};
  uint8_t FHeader[HeaderSize] = {};
};

// Seeds the random bytes of the header (tests that want a fixed header use it).
void ZpSetCryptSeed(uint64_t start);
