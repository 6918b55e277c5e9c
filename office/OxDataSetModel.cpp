#include "office/OxDataSetModel.h"

#include <algorithm>

#include "office/OxExcel.h"
#include "office/OxExcelItems.h"
#include "platform/classlib/Controls.h"
#include "platform/classlib/Forms.h"

HRESULT TOxUnknownComponent::QueryInterface(const IID& iid, void** obj) {
  if (!obj) return E_POINTER;
  *obj = iid == IID_IUnknown ? static_cast<IUnknown*>(this) : GetInterface(iid);
  return *obj ? S_OK : E_NOINTERFACE;
}

namespace {

// What population changes on the application and the screen, put back on every way out.
class TPopulateState {
public:
  explicit TPopulateState(IDispatch* app) : FApp(app) { Screen().SetCursor(crHourGlass); }
  ~TPopulateState() {
    try {
      DispPut(FApp, DISPID_ScreenUpdating, true);
    } catch (...) {
    }
    Screen().SetCursor(crDefault);
  }
  TPopulateState(const TPopulateState&) = delete;
  TPopulateState& operator=(const TPopulateState&) = delete;

private:
  IDispatch* FApp;
};

// Memo texts in full read best from the top of their cells.
bool PopulateTopAligned(TOxUnknownComponent*) { return false; }

TComPtr<IDispatch> block(IDispatch* origin, int row, int column, int rows, int columns) {
  TComPtr<IDispatch> at = DispGet(origin, DISPID_Offset, {row, column}).AsDispatch();
  return DispGet(at.Get(), DISPID_Resize, {rows, columns}).AsDispatch();
}

}  // namespace

void PopulateRange(TOxExcelRange& range) {
  range.CheckConnected(true, false);
  IDispatch* app = range.Excel()->Application();
  TPopulateState state(app);
  int widest = 0;

  IOxDataModel* model = nullptr;
  if (range.OfficeModel()) range.OfficeModel()->QueryInterface(IID_IOxDataModel, reinterpret_cast<void**>(&model));
  if (!model) throw EModelException("A Model must be assigned in order to populate");

  // Everything below is addressed from the range's top-left cell.
  IDispatch* sheet = range.Worksheet() ? range.Worksheet()->ServerObject() : nullptr;
  if (!sheet || !range.ServerObject()) throw EOxOfficeError("You must be connected in order to call this method.");
  TComPtr<IDispatch> corner = DispGet(range.ServerObject(), DISPID_Item, {1, 1}).AsDispatch();
  OleVariant cornerAddress = DispGet(corner.Get(), DISPID_Address, {false, false, xlA1});
  TComPtr<IDispatch> origin = DispGet(sheet, DISPID_Range, {cornerAddress, cornerAddress}).AsDispatch();
  range.SetServerObject(origin);
  DispPut(DispGet(sheet, DISPID_Outline).AsDispatch().Get(), DISPID_SummaryRow, xlSummaryAbove);

  int row = 0;
  model->BeginRead();
  // Once the read began it is ended on every way out: the data set gets its place and controls back.
  try {
    DispPut(app, DISPID_ScreenUpdating, false);
    model->First();
    int headerColumns = model->ColumnCount();
    if (headerColumns > 0) {
      OleVariant headers;
      model->GetColumnHeaders(headers);
      TComPtr<IDispatch> header = block(origin.Get(), row, 0, 1, headerColumns);
      DispPut(header.Get(), DISPID_Value, headers);
      DispPut(DispGet(header.Get(), DISPID_Font).AsDispatch().Get(), DISPID_Bold, true);
      DispPut(header.Get(), DISPID_HorizontalAlignment, xlHAlignCenter);
    }
    bool wholeRows = (model->GetCapabilities() & dmcWholeRows) != 0;
    for (;;) {
      ++row;
      if (model->Eof()) break;
      int columns = model->ColumnCount();
      widest = std::max(widest, columns);
      OleVariant value;
      int kind = 0;
      if (wholeRows && columns > 0) {
        model->GetData(0, dmmWholeRow, value, kind);
        TComPtr<IDispatch> line = block(origin.Get(), row, 0, 1, columns);
        DispPut(line.Get(), DISPID_Value, value);
        DispPut(DispGet(line.Get(), DISPID_EntireRow).AsDispatch().Get(), DISPID_OutlineLevel, model->Level());
      } else if (!wholeRows) {
        for (int c = 0; c < columns; ++c) {
          model->GetData(c, dmmColumnText, value, kind);
          DispPut(DispGet(origin.Get(), DISPID_Offset, {row, c}).AsDispatch().Get(), DISPID_Value, value);
        }
      }
      model->Next();
    }
    // A model without rows still leaves its header row as the range.
    if (widest == 0) widest = headerColumns;
    bool topAligned = PopulateTopAligned(range.OfficeModel());
    for (int c = 0; c < widest; ++c) {
      TComPtr<IDispatch> column =
          DispGet(DispGet(origin.Get(), DISPID_Offset, {0, c}).AsDispatch().Get(), DISPID_EntireColumn).AsDispatch();
      if (topAligned) DispPut(column.Get(), DISPID_VerticalAlignment, xlcvaTop);
      DispCall(column.Get(), DISPID_AutoFit);
    }
    if (widest > 0) range.SetServerObject(block(origin.Get(), 0, 0, row, widest));
    range.NotifyDesigner();
  } catch (...) {
    try {
      model->EndRead();
    } catch (...) {
    }
    throw;
  }
  model->EndRead();
}
