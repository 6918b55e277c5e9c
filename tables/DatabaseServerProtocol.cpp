#include "tables/DatabaseServerProtocol.h"

#include <cstdlib>

#include "platform/rtl/Format.h"
#include "platform/rtl/Regional.h"

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

[[noreturn]] void TooWide(std::string_view field, size_t width, const char* unit) {
  throw EXbFieldWidth(AnsiString(field) + " is longer than " + IntToStr(static_cast<int64_t>(width)) + unit);
}

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) < 33) s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) < 33) s.remove_suffix(1);
  return s;
}

}  // namespace

bool ReadHexDigits(std::string_view digits, uint32_t& value) {
  if (digits.empty() || digits.size() > 8) return false;
  uint32_t v = 0;
  for (char c : digits) {
    int d = HexDigit(c);
    if (d < 0) return false;
    v = v * 16 + static_cast<uint32_t>(d);
  }
  value = v;
  return true;
}

// ---- writer

TXbWireWriter& TXbWireWriter::Text(std::string_view text, size_t width, std::string_view field) {
  if (text.size() > width) TooWide(field, width, " characters");
  return TextOrWhole(text, width);
}

TXbWireWriter& TXbWireWriter::TextOrWhole(std::string_view text, size_t width) {
  FBytes += text;
  if (text.size() < width) FBytes.append(width - text.size(), ' ');
  return *this;
}

TXbWireWriter& TXbWireWriter::Hex(int64_t value, size_t digits, std::string_view field) {
  uint64_t v;
  if (value < 0) {
    if (digits != 8 || value < INT32_MIN) TooWide(field, digits, " hexadecimal digits");
    v = static_cast<uint32_t>(static_cast<int32_t>(value));
  } else {
    v = static_cast<uint64_t>(value);
    if (digits < 16 && v >> (4 * digits) != 0) TooWide(field, digits, " hexadecimal digits");
  }
  static const char Digits[] = "0123456789ABCDEF";
  AnsiString text(digits, '0');
  for (size_t i = digits; i-- > 0; v >>= 4) text[i] = Digits[v & 15];
  FBytes += text;
  return *this;
}

TXbWireWriter& TXbWireWriter::Decimal(int64_t value) {
  FBytes += IntToStr(value);
  return *this;
}

TXbWireWriter& TXbWireWriter::YesNo(bool value) {
  FBytes += value ? 'Y' : 'N';
  return *this;
}

TXbWireWriter& TXbWireWriter::Float(double value) {
  FBytes += FloatToStr(value);
  return *this;
}

TXbWireWriter& TXbWireWriter::Raw(std::string_view bytes) {
  FBytes += bytes;
  return *this;
}

// ---- reader

std::string_view TXbWireReader::Raw(size_t n) {
  if (n > Left()) throw EXbMalformed("Answer too short");
  std::string_view s = FData.substr(FPos, n);
  FPos += n;
  return s;
}

AnsiString TXbWireReader::TrimmedText(size_t width) { return AnsiString(Trimmed(Raw(width))); }

int32_t TXbWireReader::Hex(size_t digits) {
  uint32_t v;
  if (!ReadHexDigits(Raw(digits), v)) throw EXbMalformed("Not a hexadecimal field");
  return static_cast<int32_t>(v);
}

int32_t TXbWireReader::Digit() {
  char c = Raw(1)[0];
  if (c < '0' || c > '9') throw EXbMalformed("Not a decimal digit");
  return c - '0';
}

std::string_view TXbWireReader::Rest() { return Raw(Left()); }

// ---- replies

int32_t ReplyHex(std::string_view reply) {
  uint32_t v;
  if (!ReadHexDigits(Trimmed(reply), v)) throw EConvertError("'" + AnsiString(reply) + "' is not a hexadecimal value");
  return static_cast<int32_t>(v);
}

int32_t ReplyDecimal(std::string_view reply) {
  int64_t v;
  if (!TryStrToInt(reply, v) || v < INT32_MIN || v > INT32_MAX)
    throw EConvertError("'" + AnsiString(reply) + "' is not a valid integer value");
  return static_cast<int32_t>(v);
}

double ReplyFloat(std::string_view reply) {
  AnsiString t(Trimmed(reply));
  char sep = FormatSettings().DecimalSeparator;
  for (char& c : t)
    if (c == sep) c = '.';
  char* end = nullptr;
  double v = std::strtod(t.c_str(), &end);
  if (t.empty() || *end) throw EConvertError("'" + AnsiString(reply) + "' is not a valid floating point value");
  return v;
}

bool ReplyYes(std::string_view reply) { return reply == "Y"; }

// ---- frames

AnsiString RequestHeader(int64_t payloadLength, bool compressed, std::string_view session, std::string_view code) {
  TXbWireWriter w;
  w.Hex(payloadLength, 8, "Payload length").Raw(compressed ? "0001" : "0000");
  w.Text(session, 4, "Session").Text(code, 4, "Command");
  return w.Take();
}

bool ReadReplyHeader(std::string_view header, TXbReplyHeader& out) {
  uint32_t length;
  if (header.size() < XbWire::FrameHeaderSize || !ReadHexDigits(header.substr(0, 8), length)) return false;
  out.Length = length;
  out.Kind = AnsiString(header.substr(16, 4));
  return true;
}
