// The data label: a bordered label that shows the display text of a data set's field.
#pragma once

#include <memory>

#include "framework/forms/BxCtrls.h"
#include "platform/classlib/DB.h"

class TBxDBLabel : public TBxCustomLabel {
public:
  explicit TBxDBLabel(TComponent* AOwner);
  ~TBxDBLabel() override;
  AnsiString ClassName() const override { return "TBxDBLabel"; }

  TDataSource* DataSource() const { return FDataLink->DataSource(); }
  void SetDataSource(TDataSource* value);
  const AnsiString& DataField() const { return FDataLink->FieldName(); }
  void SetDataField(const AnsiString& value) { FDataLink->SetFieldName(value); }
  // The linked field while the data set is open and has it, else nullptr.
  TField* Field() const { return FDataLink->Field(); }

  // The field's display text; the label's name while designing; empty without a field.
  AnsiString GetLabelText() override;

private:
  std::unique_ptr<TFieldDataLink> FDataLink = std::make_unique<TFieldDataLink>();
};
