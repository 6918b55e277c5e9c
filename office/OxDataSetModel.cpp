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

TOxDataSetModel::~TOxDataSetModel() {
  if (FDataset) FDataset->RemoveFreeNotification(this);
  if (FDetailModel) FDetailModel->RemoveFreeNotification(this);
}

void* TOxDataSetModel::GetInterface(const IID& iid) {
  return iid == IID_IOxDataModel ? static_cast<IOxDataModel*>(this) : nullptr;
}

void TOxDataSetModel::Notification(TComponent* component, TOperation operation) {
  TOxUnknownComponent::Notification(component, operation);
  if (operation != opRemove) return;
  if (component == FDataset) FDataset = nullptr;
  if (component == FDetailModel) {
    FDetailModel = nullptr;
    FInDetail = false;
  }
}

void TOxDataSetModel::SetDataset(TDataSet* value) {
  if (value == FDataset) return;
  if (FDataset) FDataset->RemoveFreeNotification(this);
  FDataset = value;
  if (value) value->FreeNotification(this);
}

void TOxDataSetModel::SetDetailModel(TOxDataSetModel* value) {
  if (value == FDetailModel) return;
  // A longer ring would walk for ever just as a model of its own.
  for (TOxDataSetModel* at = value; at; at = at->FDetailModel)
    if (at == this) throw EModelException("Circular Model link not allowed.");
  if (FDetailModel) FDetailModel->RemoveFreeNotification(this);
  FDetailModel = value;
  FInDetail = false;
  if (value) value->FreeNotification(this);
}

void TOxDataSetModel::First() {
  FInDetail = false;
  if (FDataset) FDataset->First();
}

void TOxDataSetModel::Last() {
  FInDetail = false;
  if (FDataset) FDataset->Last();
}

// A master row is followed by its detail rows; one without any goes straight to the next master.
void TOxDataSetModel::Next() {
  if (!FDataset) return;
  if (!FDetailModel) {
    FDataset->Next();
    return;
  }
  if (!FInDetail) {
    FDetailModel->First();
    if (!FDetailModel->Eof()) {
      FInDetail = true;
      return;
    }
  } else {
    FDetailModel->Next();
    if (!FDetailModel->Eof()) return;
    FInDetail = false;
  }
  FDataset->Next();
}

void TOxDataSetModel::Prior() {
  if (!FDataset) return;
  if (!FDetailModel) {
    FDataset->Prior();
    return;
  }
  if (!FInDetail) {
    FDetailModel->Last();
    if (!(FDetailModel->Bof() && FDetailModel->Eof())) {
      FInDetail = true;
      return;
    }
  } else {
    FDetailModel->Prior();
    if (!FDetailModel->Bof()) return;
    FInDetail = false;
  }
  FDataset->Prior();
}

int TOxDataSetModel::ColumnCount() {
  if (!FDataset) return 0;
  return FInDetail ? FDetailModel->ColumnCount() : FDataset->FieldCount();
}

void TOxDataSetModel::GetColumnHeaders(OleVariant& headers) {
  if (!FDataset) {
    headers = OleVariant::Null();
    return;
  }
  std::vector<OleVariant> labels;
  for (TField* field : FDataset->Fields()) labels.emplace_back(field->DisplayLabel());
  headers = OleVariant::Array(std::move(labels));
}

void TOxDataSetModel::BeginRead() {
  if (!FDataset) throw EModelException("Model Dataset must be assigned first.");
  if (!FDataset->Active()) throw EModelException("Model Dataset must first be opened.");
  FBookmark = FDataset->Bookmark();
  FHoldsBookmark = true;
  if (!FDetailModel && !FControlsDisabled) {
    FDataset->DisableControls();
    FControlsDisabled = true;
  }
}

void TOxDataSetModel::EndRead() {
  if (FHoldsBookmark) {
    TBookmark mark = std::move(FBookmark);
    FBookmark.clear();
    FHoldsBookmark = false;
    if (FDataset && FDataset->Active() && !mark.empty()) FDataset->GotoBookmark(mark);
  }
  if (FControlsDisabled) {
    FControlsDisabled = false;
    if (FDataset) FDataset->EnableControls();
  }
}

AnsiString TOxDataSetModel::fieldText(TField* field) const {
  if (FWantFullMemos && field->DataType() == ftMemo) return field->AsString();
  return field->DisplayText();
}

void TOxDataSetModel::currentRow(OleVariant& row) {
  if (!FDataset) return;
  if (FInDetail) {
    FDetailModel->currentRow(row);
    return;
  }
  std::vector<OleVariant> texts;
  for (TField* field : FDataset->Fields()) texts.emplace_back(fieldText(field));
  row = OleVariant::Array(std::move(texts));
}

void TOxDataSetModel::GetData(int column, int mode, OleVariant& value, int& kind) {
  if (mode == dmmColumnText) {
    if (FInDetail) {
      FDetailModel->GetData(column, mode, value, kind);
      return;
    }
    kind = dmmColumnText;
    if (FDataset) value = fieldText(FDataset->Fields().at(size_t(column)));
  } else if (mode == dmmWholeRow) {
    kind = dmmWholeRow;
    currentRow(value);
  } else {
    throw EModelException("Model does not support requested mode.");
  }
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
bool PopulateTopAligned(TOxUnknownComponent* model) {
  auto* dataSetModel = dynamic_cast<TOxDataSetModel*>(model);
  return dataSetModel && dataSetModel->WantFullMemos();
}

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
