// The table data set's record buffers, and its fields converted between them and the engine's record.
#include "tables/XbDSet.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "platform/engines/XbeEntries.h"

namespace {

// A plain decimal of up to 15 digits between blanks (sign, digits, one point), read exactly as
// strtod would: both parts are exact doubles, so the one division rounds as strtod does.
// Anything else is left to strtod.
inline bool PlainDecimal(std::string_view text, double& out) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = p + text.size();
  // Numbers stand right in their fields: the blanks before them go four at a time.
  for (uint32_t four = 0; end - p >= 4 && (std::memcpy(&four, p, 4), four == 0x20202020u);) p += 4;
  while (p < end && *p <= 32) ++p;
  bool negative = p < end && *p == '-';
  if (negative) ++p;
  uint64_t digits = 0;
  unsigned d = 0;
  const unsigned char* first = p;
  while (p < end && (d = unsigned(*p) - unsigned('0')) <= 9) digits = digits * 10 + d, ++p;
  std::ptrdiff_t count = p - first, scale = 0;
  if (p < end && *p == '.') {
    const unsigned char* fraction = ++p;
    while (p < end && (d = unsigned(*p) - unsigned('0')) <= 9) digits = digits * 10 + d, ++p;
    scale = p - fraction;
    count += scale;
  }
  while (p < end && *p <= 32) ++p;
  // Past 15 digits the value may not be exact (and past 19 the sum wraps): strtod reads it.
  if (p != end || count == 0 || count > 15) return false;
  static constexpr double kTens[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  double v = double(digits);
  if (scale > 0) v /= kTens[scale];
  out = negative ? -v : v;
  return true;
}

std::string_view TrimView(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= 32) s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= 32) s.remove_suffix(1);
  return s;
}

// A whole number in a fixed field as "%*.0f" would print it.
bool PlainWhole(double v, int width, int decimals, char* out) {
  if (!(v > -1e15 && v < 1e15) || v != double(int64_t(v)) || (v == 0 && std::signbit(v))) return false;
  char digits[24];
  int n = int(std::to_chars(digits, digits + sizeof digits, int64_t(v)).ptr - digits);
  int len = n + (decimals > 0 ? decimals + 1 : 0);
  if (len > width || decimals > 64) return false;
  std::memset(out, ' ', std::size_t(width - len));
  std::memcpy(out + (width - len), digits, std::size_t(n));
  if (decimals > 0) {
    out[width - decimals - 1] = '.';
    std::memset(out + (width - decimals), '0', std::size_t(decimals));
  }
  out[width] = 0;
  return true;
}

}  // namespace

// ---- record buffers

TRecordBuffer TXbTable::AllocRecordBuffer() { return new char[std::size_t(std::max(FBufferSize, 1))](); }

void TXbTable::FreeRecordBuffer(TRecordBuffer& buffer) {
  if (buffer && FBufferSize > 0) clearBlobSlots(buffer);
  delete[] buffer;
  buffer = nullptr;
}

void TXbTable::CopyBuffer(TRecordBuffer dest, TRecordBuffer source) {
  // Blob contents belong to one buffer: the copy loads its own when asked.
  clearBlobSlots(dest);
  TDataSet::CopyBuffer(dest, source);
  for (std::size_t i = 0; i < FBlobFields.size(); ++i) {
    auto* slot = reinterpret_cast<TBlobSlot*>(dest + FBlobOffset + i * sizeof(TBlobSlot));
    slot->Data = nullptr;
    slot->Length = 0;
    slot->Loaded = slot->Modified = 0;
  }
}

TXbTable::TBlobSlot* TXbTable::blobSlot(TRecordBuffer buffer, const TField* field) {
  auto it = std::find(FBlobFields.begin(), FBlobFields.end(), field);
  if (!buffer || it == FBlobFields.end()) return nullptr;
  return reinterpret_cast<TBlobSlot*>(buffer + FBlobOffset + (it - FBlobFields.begin()) * sizeof(TBlobSlot));
}

void TXbTable::clearBlobSlots(TRecordBuffer buffer) {
  for (std::size_t i = 0; i < FBlobFields.size(); ++i) {
    auto* slot = reinterpret_cast<TBlobSlot*>(buffer + FBlobOffset + i * sizeof(TBlobSlot));
    delete[] slot->Data;
    slot->Data = nullptr;
    slot->Length = 0;
    slot->Loaded = slot->Modified = 0;
  }
}

void TXbTable::ClearBuffers() {
  TDataSet::ClearBuffers();
  if (FWorkArea && ActiveBuffer()) InternalInitRecord(ActiveBuffer());
}

void TXbTable::InternalInitRecord(TRecordBuffer buffer) {
  clearBlobSlots(buffer);
  std::memset(buffer, 0, std::size_t(FBlobOffset));  // the fields, the calculated ones and the gap
  for (std::size_t i = 0; i < FBlobFields.size(); ++i)
    std::memset(reinterpret_cast<TBlobSlot*>(buffer + FBlobOffset + i * sizeof(TBlobSlot))->Ref, ' ', kMemoRefWidth);
  setBookmark(buffer, 0, bfCurrent);
}

void TXbTable::ClearCalcFields(TRecordBuffer buffer) {
  std::memset(buffer + FCalcOffset, 0, std::size_t(CalcFieldsSize()));
}

void TXbTable::CalculateFields(TRecordBuffer buffer) { TDataSet::CalculateFields(buffer); }

int32_t TXbTable::bookmarkOf(TRecordBuffer buffer) const {
  int32_t r = 0;
  std::memcpy(&r, buffer + FBookmarkOffset, 4);
  return r;
}

void TXbTable::GetBookmarkData(TRecordBuffer buffer, void* data) { std::memcpy(data, buffer + FBookmarkOffset, 4); }
void TXbTable::SetBookmarkData(TRecordBuffer buffer, const void* data) { std::memcpy(buffer + FBookmarkOffset, data, 4); }
TBookmarkFlag TXbTable::GetBookmarkFlag(TRecordBuffer buffer) { return TBookmarkFlag(buffer[FBookmarkOffset + 4]); }
void TXbTable::SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag value) { buffer[FBookmarkOffset + 4] = char(value); }

void TXbTable::decodeWhole(TRecordBuffer buffer, const char* raw) {
  char* kept = buffer + FRawOffset;
  if (raw != kept) std::memcpy(kept, raw, std::size_t(FRecSize));
  // Fields are converted when read; a hidden record and blob slots are settled now.
  if (FEncrypted && FPassword.empty()) {
    for (TField* f : Fields()) {
      int no = f->FieldNo();
      if (!f->Calculated() && no >= 1 && no < int(FInfo.size()) && FInfo[std::size_t(no)].BufferOffset >= 0) decodeField(buffer, f);
    }
    return;
  }
  for (int flag : FUndecodedFlags) buffer[flag] = kUndecoded;
  for (TField* f : FBlobFields) decodeField(buffer, f);
}

void TXbTable::decodePending(TRecordBuffer buffer) {
  for (TField* f : Fields()) {
    int no = f->FieldNo();
    if (f->Calculated() || no < 1 || no >= int(FInfo.size()) || FInfo[std::size_t(no)].BufferOffset < 0) continue;
    if (buffer[FInfo[std::size_t(no)].BufferOffset] == kUndecoded) decodeField(buffer, f);
  }
}

void TXbTable::decodeField(TRecordBuffer buffer, TField* f) {
  const TFieldInfo& info = FInfo[std::size_t(f->FieldNo())];
  char* flag = buffer + info.BufferOffset;
  char* data = flag + 1;
  std::string_view raw(buffer + FRawOffset + info.RawOffset, std::size_t(info.Width));
  *flag = 1;
  if (FEncrypted && FPassword.empty()) {
    if (info.Type == ftString) std::memset(data, '*', std::size_t(std::min(info.Width, info.DataSize - 1)));
    else std::memset(data, 0, std::size_t(info.DataSize));
    return;
  }
  switch (info.Type) {
    case ftString: {
      std::string_view s = raw.substr(0, raw.find_last_not_of(' ') + 1);
      std::size_t n = std::min<std::size_t>(s.size(), std::size_t(info.DataSize - 1));
      std::memcpy(data, s.data(), n);
      std::memset(data + n, 0, std::size_t(info.DataSize) - n);
      break;
    }
    case ftSmallint:
    case ftInteger:
    case ftWord: {
      std::string_view s = TrimView(raw);
      int64_t v = 0;
      if (s.empty()) {
        *flag = 0;
        std::memset(data, 0, std::size_t(info.DataSize));
        break;
      }
      if (!TryStrToInt(s, v)) v = 0;
      if (info.DataSize == 2) {
        auto v16 = static_cast<int16_t>(std::clamp<int64_t>(v, INT16_MIN, INT16_MAX));
        std::memcpy(data, &v16, 2);
      } else {
        auto v32 = static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
        std::memcpy(data, &v32, 4);
      }
      break;
    }
    case ftBoolean: {
      std::string_view s = TrimView(raw);
      int16_t v = !s.empty() && (s[0] == 'T' || s[0] == 't' || s[0] == 'Y' || s[0] == 'y') ? 1 : 0;
      if (s.empty()) *flag = 0;
      std::memcpy(data, &v, 2);
      break;
    }
    case ftFloat:
    case ftCurrency: {
      double v = 0;
      if (PlainDecimal(raw, v)) {
        std::memcpy(data, &v, 8);
        break;
      }
      AnsiString s(raw);
      std::replace(s.begin(), s.end(), ',', ' ');
      s = Trim(s);
      if (s.empty()) {
        *flag = 0;
      } else {
        char* end = nullptr;
        v = std::strtod(s.c_str(), &end);
        if (!end || *end) v = 0;
      }
      std::memcpy(data, &v, 8);
      break;
    }
    case ftDate: {
      int32_t day = 0;
      AnsiString text(raw);
      if (text.size() < 8 || text[1] == ' ' || text[1] == 0 || text[5] == 0 || text[7] == 0) {
        *flag = 0;
      } else {
        int64_t y = 0, m = 0, d = 0;
        TDateTime dt = 0;
        if (TryStrToInt(text.substr(0, 4), y) && TryStrToInt(text.substr(4, 2), m) && TryStrToInt(text.substr(6, 2), d) &&
            TryEncodeDate(int(y), int(m), int(d), dt))
          day = static_cast<int32_t>(dt) + DateDelta;
      }
      std::memcpy(data, &day, 4);
      break;
    }
    case ftMemo:
    case ftBlob: {
      TBlobSlot* slot = blobSlot(buffer, f);
      if (!slot) break;
      delete[] slot->Data;
      slot->Data = nullptr;
      slot->Length = 0;
      slot->Loaded = slot->Modified = 0;
      if (!(State() == dsInsert && XbOps::Eof(*this))) std::memcpy(slot->Ref, raw.data(), std::min(kMemoRefWidth, info.Width));
      *flag = Trim(AnsiString(slot->Ref, kMemoRefWidth)).empty() ? 0 : 1;
      break;
    }
    default: break;
  }
}

void TXbTable::encodeRecord(TRecordBuffer buffer, bool inserting) {
  decodePending(buffer);
  select();
  int dataFields = 0;
  for (TField* f : Fields()) dataFields += !f->Calculated() && f->FieldNo() > 0;
  // Fields the data set does not show keep what the record holds; a new record has none yet.
  if (inserting) std::fill(FRaw.begin(), FRaw.end(), ' ');
  else if (dataFields != FEngineFieldCount) XbOps::GetRecord(*this, FRaw.data());
  for (TField* f : Fields()) {
    int no = f->FieldNo();
    if (f->Calculated() || no < 1 || no >= int(FInfo.size()) || FInfo[std::size_t(no)].BufferOffset < 0) continue;
    const TFieldInfo& info = FInfo[std::size_t(no)];
    const char* flag = buffer + info.BufferOffset;
    const char* data = flag + 1;
    bool null = *flag == 0;
    AnsiString text;
    switch (f->DataType()) {
      case ftString: text = null ? AnsiString() : AnsiString(data, strnlen(data, std::size_t(f->DataSize()))); break;
      case ftSmallint:
      case ftInteger:
      case ftWord: {
        if (null) break;
        int64_t v = 0;
        if (f->DataSize() == 2) {
          int16_t v16 = 0;
          std::memcpy(&v16, data, 2);
          v = f->DataType() == ftWord ? uint16_t(v16) : v16;
        } else {
          int32_t v32 = 0;
          std::memcpy(&v32, data, 4);
          v = v32;
        }
        text = IntToStr(v);
        if (int(text.size()) > info.Width) HandleError("Translate error. Value out of bounds");
        text = AnsiString(std::size_t(info.Width) - text.size(), ' ') + text;
        break;
      }
      case ftBoolean: {
        int16_t v = 0;
        std::memcpy(&v, data, 2);
        text = null ? " " : v ? "T" : "F";
        break;
      }
      case ftFloat:
      case ftCurrency: {
        if (null) break;
        double v = 0;
        std::memcpy(&v, data, 8);
        char buf[128];
        if (info.Width >= int(sizeof buf) || !PlainWhole(v, info.Width, info.Decimals, buf))
          std::snprintf(buf, sizeof buf, "%*.*f", info.Width, info.Decimals, v);
        text = buf;
        // A number wider than its field is refused: cutting it would store another number.
        if (int(text.size()) > info.Width) HandleError("Translate error. Value out of bounds");
        break;
      }
      case ftDate: {
        int32_t day = 0;
        std::memcpy(&day, data, 4);
        if (null || day <= 0) break;
        int y = 0, m = 0, d = 0;
        DecodeDate(double(day - DateDelta), y, m, d);
        if (y < 100) {
          y += (FEpoch / 100) * 100;
          if (y < FEpoch) y += 100;
          else if (y > FEpoch + 100) y -= 100;
        }
        char buf[32];
        std::snprintf(buf, sizeof buf, "%04d%02d%02d", y, m, d);
        text = buf;
        break;
      }
      case ftMemo:
      case ftBlob: {
        TBlobSlot* slot = blobSlot(buffer, f);
        text = slot ? AnsiString(slot->Ref, kMemoRefWidth) : AnsiString(std::size_t(kMemoRefWidth), ' ');
        break;
      }
      default: continue;
    }
    text.resize(std::size_t(info.Width), ' ');
    std::memcpy(FRaw.data() + info.RawOffset, text.data(), std::size_t(info.Width));
  }
  FRaw[0] = inserting ? ' ' : (XbOps::Deleted(*this) ? '*' : ' ');
}

TRecordBuffer TXbTable::fieldBuffer() const {
  if (State() == dsCalcFields) return FCalcBuffer;
  if (State() == dsFilter) return FFilterBuffer;
  return ActiveBuffer();
}

bool TXbTable::GetFieldData(TField* field, void* buffer) {
  if (!FCursorOpen) return false;
  TRecordBuffer rec = fieldBuffer();
  if (!rec) return false;
  const char* place = nullptr;
  // The caller's buffer holds the field's size; the slot holds what the layout gave it.
  int size = 0;
  if (field->Calculated()) {
    place = rec + FCalcOffset + field->Offset();
    size = field->DataSize();
  } else {
    auto no = std::size_t(field->FieldNo());
    if (no - 1 >= FInfo.size() - 1) return false;  // also no < 1
    const TFieldInfo& info = FInfo[no];
    if (info.BufferOffset < 0) return false;
    char* slot = rec + info.BufferOffset;
    place = slot;
    if (*slot == kUndecoded) {
      // A plain number, the common read, without the general conversion.
      double v = 0;
      if ((info.Type == ftFloat || info.Type == ftCurrency) && !FEncrypted &&
          PlainDecimal(std::string_view(rec + FRawOffset + info.RawOffset, std::size_t(info.Width)), v)) {
        *slot = 1;
        std::memcpy(slot + 1, &v, 8);
      } else {
        decodeField(rec, field);
      }
    }
    if (*place == 0) return false;
    if (!buffer) return true;
    size = std::min(field->DataSize(), info.DataSize);
  }
  if (*place == 0) return false;
  if (!buffer) return true;
  // Numbers are the common read: copies of a known size.
  switch (size) {
    case 8: std::memcpy(buffer, place + 1, 8); break;
    case 4: std::memcpy(buffer, place + 1, 4); break;
    case 2: std::memcpy(buffer, place + 1, 2); break;
    default:
      if (size > 0) std::memcpy(buffer, place + 1, std::size_t(size));
  }
  return true;
}

void TXbTable::SetFieldData(TField* field, const void* buffer) {
  TDataSetState s = State();
  if (s != dsEdit && s != dsInsert && s != dsCalcFields && s != dsFilter && s != dsNewValue)
    HandleError("Data set must be in Edit or Insert mode to update");
  TRecordBuffer rec = fieldBuffer();
  if (!rec) return;
  char* place = nullptr;
  if (field->Calculated()) {
    place = rec + FCalcOffset + field->Offset();
  } else {
    int no = field->FieldNo();
    if (no < 1 || no >= int(FInfo.size()) || FInfo[std::size_t(no)].BufferOffset < 0) return;
    place = rec + FInfo[std::size_t(no)].BufferOffset;
  }
  *place = buffer ? 1 : 0;
  if (field->DataSize() > 0) {
    if (buffer) std::memcpy(place + 1, buffer, std::size_t(field->DataSize()));
    else std::memset(place + 1, 0, std::size_t(field->DataSize()));
  }
  if (s != dsCalcFields && s != dsFilter && s != dsNewValue) DataEvent(deFieldChange, field);
}
