// The database server's wire format: checked writers and readers of its field kinds (blank-padded
// texts, fixed-width hexadecimal, decimal numbers, Y/N, floats), the frame headers, the reply
// values, and the limits on what an answer may claim. Every request and answer passes here.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/rtl/AnsiString.h"
#include "platform/rtl/Exceptions.h"

// A value wider than its field: it would shift every later field, so nothing is sent.
QUORVEX_EXCEPTION(EXbFieldWidth, Exception);
// An answer that does not hold what its layout says.
QUORVEX_EXCEPTION(EXbMalformed, Exception);

namespace XbWire {

constexpr size_t FrameHeaderSize = 20;
// An answer body is read only up to the first size and expanded only up to the second; one
// record of a table or statement is at most the third.
constexpr int64_t MaxAnswerBytes = int64_t(64) << 20;
constexpr int64_t MaxExpandedBytes = int64_t(64) << 20;
constexpr int64_t MaxRecordBytes = int64_t(1) << 20;

}  // namespace XbWire

// Exactly these hexadecimal digits (either case, at most eight) as a 32-bit value; false for
// anything else, an empty text included.
bool ReadHexDigits(std::string_view digits, uint32_t& value);

// Builds a request payload field by field.
class TXbWireWriter {
public:
  // Tn: the text and blanks up to width; a longer text raises EXbFieldWidth naming the field.
  TXbWireWriter& Text(std::string_view text, size_t width, std::string_view field);
  // Tn where the protocol sends a longer text whole.
  TXbWireWriter& TextOrWhole(std::string_view text, size_t width);
  // Hn: exactly that many uppercase digits; a negative number as the eight digits of its 32-bit
  // form. A value that needs more digits raises EXbFieldWidth naming the field.
  TXbWireWriter& Hex(int64_t value, size_t digits, std::string_view field);
  TXbWireWriter& Decimal(int64_t value);
  TXbWireWriter& YesNo(bool value);
  // The shortest decimal text, with the local decimal separator.
  TXbWireWriter& Float(double value);
  TXbWireWriter& Raw(std::string_view bytes);

  const AnsiString& Bytes() const { return FBytes; }
  AnsiString Take() { return std::move(FBytes); }

private:
  AnsiString FBytes;
};

// Reads an answer field by field; a field past the end, or digits that are not, raise
// EXbMalformed.
class TXbWireReader {
public:
  explicit TXbWireReader(std::string_view data) : FData(data) {}
  std::string_view Raw(size_t n);
  AnsiString Text(size_t width) { return AnsiString(Raw(width)); }
  // Without leading and trailing characters below code 33.
  AnsiString TrimmedText(size_t width);
  // Exactly that many hexadecimal digits, as a 32-bit value.
  int32_t Hex(size_t digits);
  // One decimal digit.
  int32_t Digit();
  // One character: true when it is the given one.
  bool Flag(char set) { return Raw(1)[0] == set; }
  std::string_view Rest();
  size_t Left() const { return FData.size() - FPos; }

private:
  std::string_view FData;
  size_t FPos = 0;
};

// Whole replies as the protocol reads them; a reply that is not the number raises EConvertError.
int32_t ReplyHex(std::string_view reply);  // trimmed first
int32_t ReplyDecimal(std::string_view reply);
double ReplyFloat(std::string_view reply);
// True exactly for "Y".
bool ReplyYes(std::string_view reply);

// The 20-byte request header: payload length, plain or compressed, session, command code.
AnsiString RequestHeader(int64_t payloadLength, bool compressed, std::string_view session, std::string_view code);

struct TXbReplyHeader {
  int64_t Length = 0;  // up to 4 GiB as the field reads
  AnsiString Kind;
};
// False when the length field is not eight hexadecimal digits.
bool ReadReplyHeader(std::string_view header, TXbReplyHeader& out);
