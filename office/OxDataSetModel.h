// Data models that a range item fills a worksheet from: the model interface, the component base
// of models, and the model over a data set with an optional detail model.
#pragma once

#include <cstdint>

#include "office/OxOffice.h"

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

class TOxExcelRange;
// Writes the range item's model into its worksheet: a header row, a row per model row at its
// outline level, fitted columns; the item then covers all of it.
void PopulateRange(TOxExcelRange& range);
