#include "zip/engine/ZpZDecoder.h"

#include <random>

#include "platform/rtl/Streams.h"
#include "zip/engine/ZpCrc32.h"
#include "zip/engine/ZpExceptions.h"

namespace {

std::mt19937_64& CryptRandom() {
  static std::mt19937_64 gen{std::random_device{}()};
  return gen;
}

}  // namespace

void ZpSetCryptSeed(uint64_t start) { CryptRandom() = std::mt19937_64(start); }

TZpZDecoder::TZpZDecoder(const AnsiString& password, bool oneByteCheck, uint32_t crc, TStream* stream)
    : FPassword(password), FCRC(crc), FOneByteCheck(oneByteCheck) {
  SetStream(stream);
}

void TZpZDecoder::SetStream(TStream* stream) {
  FStream = stream;
  FStart = stream ? stream->Position() : 0;
}

void TZpZDecoder::UpdateKeys(uint8_t c) {
  FKeys[0] = ZpUpdateCrc32Byte(FKeys[0], c);
  FKeys[1] = (FKeys[1] + (FKeys[0] & 0xFF)) * 134775813u + 1;
  FKeys[2] = ZpUpdateCrc32Byte(FKeys[2], static_cast<uint8_t>(FKeys[1] >> 24));
}

uint8_t TZpZDecoder::StreamByte() const {
  const uint32_t t = (FKeys[2] | 2) & 0xFFFF;
  return static_cast<uint8_t>((t * (t ^ 1)) >> 8);
}

void TZpZDecoder::InitKeys() {
  FKeys[0] = 0x12345678u;
  FKeys[1] = 0x23456789u;
  FKeys[2] = 0x34567890u;
  for (char ch : FPassword) UpdateKeys(static_cast<uint8_t>(ch));
}

uint8_t TZpZDecoder::DecodeByte(uint8_t c) {
  const uint8_t plain = c ^ StreamByte();
  UpdateKeys(plain);
  return plain;
}

uint8_t TZpZDecoder::EncodeByte(uint8_t c) {
  const uint8_t cipher = c ^ StreamByte();
  UpdateKeys(c);
  return cipher;
}

void TZpZDecoder::EncodeBuffer(void* buffer, std::size_t count) {
  uint8_t* p = static_cast<uint8_t*>(buffer);
  for (std::size_t i = 0; i < count; ++i) p[i] = EncodeByte(p[i]);
}

void TZpZDecoder::DecodeBuffer(void* buffer, std::size_t count) {
  uint8_t* p = static_cast<uint8_t*>(buffer);
  for (std::size_t i = 0; i < count; ++i) p[i] = DecodeByte(p[i]);
}

void TZpZDecoder::WriteHeader() {
  uint8_t header[HeaderSize];
  // The random bytes are themselves encrypted once so the header never shows the generator.
  InitKeys();
  std::uniform_int_distribution<int> byte(0, 255);
  for (int i = 0; i < 10; ++i) header[i] = EncodeByte(static_cast<uint8_t>(byte(CryptRandom())));
  InitKeys();
  for (int i = 0; i < 10; ++i) header[i] = EncodeByte(header[i]);
  header[10] = EncodeByte(static_cast<uint8_t>(FCRC >> 16));
  header[11] = EncodeByte(static_cast<uint8_t>(FCRC >> 24));
  if (!FStream) throw EZpBadStream();
  FStream->SetPosition(FStart);
  if (FStream->Write(header, HeaderSize) != HeaderSize) throw EZpZipStreamFull();
  std::copy(header, header + HeaderSize, FHeader);
}

bool TZpZDecoder::HeaderMatches(const uint8_t* header) const {
  const uint8_t crcHigh = static_cast<uint8_t>(FCRC >> 24);
  bool ok = header[11] == crcHigh || (FHasCheckTime && header[11] == static_cast<uint8_t>(FCheckTime >> 8));
  if (ok && !FOneByteCheck && !FHasCheckTime) ok = header[10] == static_cast<uint8_t>(FCRC >> 16);
  return ok;
}

void TZpZDecoder::VerifyHeader() {
  if (!FStream) throw EZpBadStream();
  FStream->SetPosition(FStart);
  uint8_t raw[HeaderSize];
  if (FStream->Read(raw, HeaderSize) != HeaderSize) throw EZpReadError();
  for (int attempt = 1;; ++attempt) {
    InitKeys();
    std::copy(raw, raw + HeaderSize, FHeader);
    DecodeBuffer(FHeader, HeaderSize);
    FAttemptsUsed = attempt;
    if (HeaderMatches(FHeader)) return;
    if (!OnNeedPassword || attempt >= FAttempts) throw EZpZipInvalidPassword();
    OnNeedPassword(FPassword);
  }
}
