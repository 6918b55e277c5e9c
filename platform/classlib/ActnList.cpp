#include "platform/classlib/ActnList.h"

#include <algorithm>

TBasicActionLink::~TBasicActionLink() { SetAction(nullptr); }

void TBasicActionLink::SetAction(TBasicAction* action) {
  if (action == FAction) return;
  if (FAction) FAction->UnRegisterChanges(this);
  FAction = action;
  if (FAction) {
    FAction->RegisterChanges(this);
    Change();
  }
}

bool TBasicActionLink::Execute(TComponent* component) {
  if (!FAction) return false;
  FAction->SetActionComponent(component);
  bool r = false;
  try {
    r = FAction->Execute();
  } catch (...) {
    if (FAction) FAction->SetActionComponent(nullptr);
    throw;
  }
  if (FAction) FAction->SetActionComponent(nullptr);
  return r;
}

bool TBasicActionLink::Update() { return FAction && FAction->Update(); }

TBasicAction::~TBasicAction() {
  // Clients drop their links to a freed action.
  while (!FClients.empty()) {
    TBasicActionLink* l = FClients.back();
    FClients.pop_back();
    l->FAction = nullptr;
  }
}

bool TBasicAction::Execute() {
  if (!OnExecute) return false;
  OnExecute(this);
  return true;
}

bool TBasicAction::Update() {
  if (!OnUpdate) return false;
  OnUpdate(this);
  return true;
}

void TBasicAction::RegisterChanges(TBasicActionLink* link) {
  if (std::find(FClients.begin(), FClients.end(), link) == FClients.end()) FClients.push_back(link);
}

void TBasicAction::UnRegisterChanges(TBasicActionLink* link) {
  FClients.erase(std::remove(FClients.begin(), FClients.end(), link), FClients.end());
}

void TBasicAction::Change() {
  std::vector<TBasicActionLink*> clients = FClients;
  for (TBasicActionLink* l : clients)
    if (std::find(FClients.begin(), FClients.end(), l) != FClients.end()) l->Change();
}

TContainedAction::~TContainedAction() { SetActionList(nullptr); }

void TContainedAction::SetActionList(TActionList* list) {
  if (list == FActionList) return;
  if (FActionList) {
    auto& v = FActionList->FActions;
    v.erase(std::remove(v.begin(), v.end(), this), v.end());
  }
  FActionList = list;
  if (FActionList) FActionList->FActions.push_back(this);
}

int TContainedAction::Index() const {
  if (!FActionList) return -1;
  auto& v = FActionList->FActions;
  return static_cast<int>(std::find(v.begin(), v.end(), this) - v.begin());
}

bool TContainedAction::Execute() {
  if (FActionList && FActionList->ExecuteAction(this)) return true;
  return TBasicAction::Execute();
}

bool TContainedAction::Update() {
  if (FActionList && FActionList->UpdateAction(this)) return true;
  return TBasicAction::Update();
}

void TCustomAction::SetCaption(const AnsiString& v) {
  if (v == FCaption) return;
  FCaption = v;
  Change();
}

void TCustomAction::SetChecked(bool v) {
  if (v == FChecked) return;
  FChecked = v;
  Change();
}

void TCustomAction::SetEnabled(bool v) {
  if (v == FEnabled) return;
  FEnabled = v;
  Change();
}

void TCustomAction::SetHelpContext(int v) {
  if (v == FHelpContext) return;
  FHelpContext = v;
  Change();
}

void TCustomAction::SetHint(const AnsiString& v) {
  if (v == FHint) return;
  FHint = v;
  Change();
}

void TCustomAction::SetImageIndex(int v) {
  if (v == FImageIndex) return;
  FImageIndex = v;
  Change();
}

void TCustomAction::SetShortCut(TShortCut v) {
  if (v == FShortCut) return;
  FShortCut = v;
  Change();
}

void TCustomAction::SetVisible(bool v) {
  if (v == FVisible) return;
  FVisible = v;
  Change();
}

bool TCustomAction::Execute() {
  Update();
  if (!FEnabled) return false;
  return TContainedAction::Execute();
}

void TActionLink::Change() {
  auto* a = dynamic_cast<TCustomAction*>(Action());
  if (!a) return;
  SetCaption(a->Caption());
  SetChecked(a->Checked());
  SetEnabled(a->Enabled());
  SetHelpContext(a->HelpContext());
  SetHint(a->Hint());
  SetImageIndex(a->ImageIndex());
  SetShortCut(a->ShortCut());
  SetVisible(a->Visible());
}

TActionList::~TActionList() {
  while (!FActions.empty()) FActions.back()->SetActionList(nullptr);
}

bool TActionList::ExecuteAction(TBasicAction* action) {
  bool handled = false;
  if (OnExecute) OnExecute(action, handled);
  return handled;
}

bool TActionList::UpdateAction(TBasicAction* action) {
  bool handled = false;
  if (OnUpdate) OnUpdate(action, handled);
  return handled;
}

void TActionList::UpdateActions() {
  std::vector<TContainedAction*> actions = FActions;
  for (TContainedAction* a : actions) a->Update();
}
