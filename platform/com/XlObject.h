// What the objects of the spreadsheet server share: their error, their member names, blocks of
// cells with their addresses, and the dual members that answer through the dispatch table.
#pragma once

#include <string_view>
#include <vector>

#include "platform/com/ExcelTlb.h"
#include "platform/com/XlFile.h"

// A server failure as the caller sees it: the description, with DISP_E_EXCEPTION.
[[noreturn]] void XlServerError(const AnsiString& text);
const TDispNames& XlNames();

// A block of cells, rows and columns from 1, both ends included.
struct TXlArea {
  int R1 = 1, C1 = 1, R2 = 1, C2 = 1;
  int Rows() const { return R2 - R1 + 1; }
  int Columns() const { return C2 - C1 + 1; }
  long long CellCount() const { return static_cast<long long>(Rows()) * Columns(); }
  bool Contains(int r, int c) const { return r >= R1 && r <= R2 && c >= C1 && c <= C2; }
};

AnsiString XlColumnName(int column);
AnsiString XlCellAddress(int row, int column, bool rowAbsolute, bool columnAbsolute);
// "A1", "$B$2", "A1:C3"; false for anything else.
bool XlParseArea(const AnsiString& text, TXlArea& area);
TXlArea XlUnite(const TXlArea& a, const TXlArea& b);

// The dual members of an object read through its own dispatch table, so both ways answer alike.
template <class Intf>
class TXlObject : public TAutoObject<Intf> {
public:
  using TAutoObject<Intf>::TAutoObject;

protected:
  HRESULT GetText(DISPID id, WideString* v) {
    OleVariant out;
    HRESULT hr = this->DualGet(id, out);
    if (SUCCEEDED(hr) && v) *v = out.AsWide();
    return hr;
  }
  HRESULT GetCount(int32_t* v) {
    OleVariant out;
    HRESULT hr = this->DualGet(DISPID_Count, out);
    if (SUCCEEDED(hr) && v) *v = out.AsInteger();
    return hr;
  }
  template <class T>
  HRESULT GetIntf(DISPID id, const IID& iid, T** r, std::vector<OleVariant> args = {}) {
    OleVariant out;
    return QueryResult(this->DualGet(id, out, std::move(args)), out, iid, reinterpret_cast<void**>(r));
  }
  template <class T>
  HRESULT CallIntf(DISPID id, const IID& iid, T** r, std::vector<OleVariant> args) {
    OleVariant out;
    return QueryResult(this->DualCall(id, DISPATCH_METHOD, std::move(args), &out), out, iid, reinterpret_cast<void**>(r));
  }
  HRESULT CallMethod(DISPID id, std::vector<OleVariant> args = {}) {
    return this->DualCall(id, DISPATCH_METHOD, std::move(args), nullptr);
  }
};

inline IDispatch* XlDispatchOf(IDispatch* d) { return d; }
template <class T>
IDispatch* XlDispatchOf(T* object) { return object->AsDispatch(); }

// The item of a collection at a 1-based index.
template <class T>
OleVariant XlItemAt(std::vector<TComPtr<T>>& list, const OleVariant& index) {
  int i = index.AsInteger();
  if (i < 1 || i > int(list.size())) XlServerError("Subscript out of range");
  return OleVariant(TComPtr<IDispatch>(XlDispatchOf(list[size_t(i - 1)].Get())));
}
