// Data models that a range item fills a worksheet from: the model interface, the component base
// of models, and the model over a data set with an optional detail model.
#pragma once

#include <cstdint>

#include "office/OxOffice.h"
#include "platform/classlib/DB.h"

QUORVEX_EXCEPTION(EModelException, Exception);

constexpr IID IID_IOxDataModel = StringToGUID("{AD426B00-2A14-11D3-9703-0000861F6726}");

// Capabilities of a model.
constexpr uint32_t dmcSingleValues = 1;
constexpr uint32_t dmcWholeRows = 2;
// GetData modes and the kinds of value they give.
constexpr int dmmColumnText = 0;
constexpr int dmmWholeRow = 1;

// Rows and columns behind one small interface; failures are exceptions.
class IOxDataModel : public IUnknown {
public:
  virtual void First() = 0;
  virtual void Last() = 0;
  virtual void Next() = 0;
  virtual void Prior() = 0;
  virtual uint32_t GetCapabilities() = 0;
  virtual bool Eof() = 0;
  virtual bool Bof() = 0;
  virtual int ColumnCount() = 0;
  virtual int RowCount() = 0;  // 0: not known
  virtual bool HasDetail() = 0;
  virtual int Level() = 0;
  virtual void GetColumnHeaders(OleVariant& headers) = 0;
  virtual void BeginRead() = 0;
  virtual void EndRead() = 0;
  virtual void GetData(int column, int mode, OleVariant& value, int& kind) = 0;

protected:
  ~IOxDataModel() = default;
};

// A component answering interfaces without counting references: its owner frees it.
class TOxUnknownComponent : public TOxBaseComponent, public IUnknown {
public:
  explicit TOxUnknownComponent(TComponent* owner) : TOxBaseComponent(owner) {}
  HRESULT QueryInterface(const IID& iid, void** obj) override;
  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 1; }

protected:
  // The interfaces of the class beyond IUnknown; nullptr when it has not this one.
  virtual void* GetInterface(const IID&) { return nullptr; }
};

// The model over a data set; a detail model's rows follow each master row one outline level deeper.
class TOxDataSetModel : public TOxUnknownComponent, public IOxDataModel {
public:
  explicit TOxDataSetModel(TComponent* owner) : TOxUnknownComponent(owner) {}
  ~TOxDataSetModel() override;
  AnsiString ClassName() const override { return "TOxDataSetModel"; }

  HRESULT QueryInterface(const IID& iid, void** obj) override { return TOxUnknownComponent::QueryInterface(iid, obj); }
  ULONG AddRef() override { return TOxUnknownComponent::AddRef(); }
  ULONG Release() override { return TOxUnknownComponent::Release(); }

  // Memo fields give their whole text rather than their display text.
  bool WantFullMemos() const { return FWantFullMemos; }
  void SetWantFullMemos(bool v) { FWantFullMemos = v; }
  TDataSet* Dataset() const { return FDataset; }
  void SetDataset(TDataSet* value);
  TOxDataSetModel* DetailModel() const { return FDetailModel; }
  // Raises EModelException for a model that would end up among its own details.
  void SetDetailModel(TOxDataSetModel* value);

  void First() override;
  void Last() override;
  void Next() override;
  void Prior() override;
  uint32_t GetCapabilities() override { return dmcSingleValues | dmcWholeRows; }
  bool Eof() override { return FDataset && FDataset->Eof(); }
  bool Bof() override { return FDataset && FDataset->Bof(); }
  int ColumnCount() override;
  int RowCount() override { return 0; }
  bool HasDetail() override { return FDetailModel != nullptr; }
  int Level() override { return FInDetail ? FDetailModel->Level() + 1 : 1; }
  void GetColumnHeaders(OleVariant& headers) override;
  void BeginRead() override;
  void EndRead() override;
  void GetData(int column, int mode, OleVariant& value, int& kind) override;

protected:
  void* GetInterface(const IID& iid) override;
  void Notification(TComponent* component, TOperation operation) override;

private:
  AnsiString fieldText(TField* field) const;
  void currentRow(OleVariant& row);
  bool FWantFullMemos = false;
  TDataSet* FDataset = nullptr;
  TOxDataSetModel* FDetailModel = nullptr;
  bool FInDetail = false;
  bool FHoldsBookmark = false;
  bool FControlsDisabled = false;
  TBookmark FBookmark;
};

class TOxExcelRange;
// Writes the range item's model into its worksheet: a header row, a row per model row at its
// outline level, fitted columns; the item then covers all of it.
void PopulateRange(TOxExcelRange& range);
