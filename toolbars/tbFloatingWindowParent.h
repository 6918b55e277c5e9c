#pragma once

#include "platform/classlib/Forms.h"

class TtbCustomToolWindow;

// The hidden host of a floating tool window: one per tool window and owner form.
class TtbFloatingWindowParent : public TCustomForm {
public:
  explicit TtbFloatingWindowParent(TComponent* AOwner);
  ~TtbFloatingWindowParent() override;
  AnsiString ClassName() const override { return "TtbFloatingWindowParent"; }
  TCustomForm* ParentForm() const { return FParentForm; }
  void SetParentForm(TCustomForm* form);
  bool ShouldShow() const { return FShouldShow; }
  void SetShouldShow(bool v) { FShouldShow = v; }
  TtbCustomToolWindow* ToolWindow() const;

protected:
  void CreateParams(TCreateParams& params) override;
  void Notification(TComponent* component, TOperation operation) override;
  void CMDialogKey(TMessage& m) override;

private:
  TCustomForm* FParentForm = nullptr;
  bool FShouldShow = false;
};
