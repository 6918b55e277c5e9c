// Actions: commands with a caption, enabled and checked state, hint and shortcut that the controls
// and menu items linked to them follow, gathered in action lists.
#pragma once

#include <functional>
#include <vector>

#include "platform/classlib/Classes.h"

class TBasicAction;
class TActionList;
using TShortCut = uint16_t;

// The client's side of a link to an action: told when the action changes.
class TBasicActionLink {
public:
  explicit TBasicActionLink(TObject* client) : FClient(client) {}
  virtual ~TBasicActionLink();
  TBasicActionLink(const TBasicActionLink&) = delete;
  TBasicActionLink& operator=(const TBasicActionLink&) = delete;

  TBasicAction* Action() const { return FAction; }
  void SetAction(TBasicAction* action);
  virtual bool Execute(TComponent* component = nullptr);
  virtual bool Update();
  TObject* Client() const { return FClient; }

protected:
  friend class TBasicAction;
  virtual void Change() {}

private:
  TObject* FClient = nullptr;
  TBasicAction* FAction = nullptr;
};

class TBasicAction : public TComponent {
public:
  explicit TBasicAction(TComponent* owner) : TComponent(owner) {}
  ~TBasicAction() override;
  AnsiString ClassName() const override { return "TBasicAction"; }

  // Runs OnExecute; false when there is none to run.
  virtual bool Execute();
  // Runs OnUpdate; false when there is none.
  virtual bool Update();
  TComponent* ActionComponent() const { return FActionComponent; }
  void SetActionComponent(TComponent* c) { FActionComponent = c; }
  void RegisterChanges(TBasicActionLink* link);
  void UnRegisterChanges(TBasicActionLink* link);

  TNotifyEvent OnExecute;
  TNotifyEvent OnUpdate;

protected:
  // Tells every linked client.
  void Change();

private:
  std::vector<TBasicActionLink*> FClients;
  TComponent* FActionComponent = nullptr;
};

class TContainedAction : public TBasicAction {
public:
  explicit TContainedAction(TComponent* owner) : TBasicAction(owner) {}
  ~TContainedAction() override;
  AnsiString ClassName() const override { return "TContainedAction"; }
  TActionList* ActionList() const { return FActionList; }
  void SetActionList(TActionList* list);
  const AnsiString& Category() const { return FCategory; }
  void SetCategory(const AnsiString& v) { FCategory = v; }
  int Index() const;
  bool Execute() override;
  bool Update() override;

private:
  TActionList* FActionList = nullptr;
  AnsiString FCategory;
};

class TCustomAction : public TContainedAction {
public:
  explicit TCustomAction(TComponent* owner) : TContainedAction(owner) {}
  AnsiString ClassName() const override { return "TCustomAction"; }

  const AnsiString& Caption() const { return FCaption; }
  void SetCaption(const AnsiString& v);
  bool Checked() const { return FChecked; }
  void SetChecked(bool v);
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool v);
  int HelpContext() const { return FHelpContext; }
  void SetHelpContext(int v);
  const AnsiString& Hint() const { return FHint; }
  void SetHint(const AnsiString& v);
  int ImageIndex() const { return FImageIndex; }
  void SetImageIndex(int v);
  TShortCut ShortCut() const { return FShortCut; }
  void SetShortCut(TShortCut v);
  bool Visible() const { return FVisible; }
  void SetVisible(bool v);
  // Only an enabled action runs; its update comes first.
  bool Execute() override;

private:
  AnsiString FCaption;
  bool FChecked = false;
  bool FEnabled = true;
  int FHelpContext = 0;
  AnsiString FHint;
  int FImageIndex = -1;
  TShortCut FShortCut = 0;
  bool FVisible = true;
};

class TAction : public TCustomAction {
public:
  explicit TAction(TComponent* owner) : TCustomAction(owner) {}
  AnsiString ClassName() const override { return "TAction"; }
};

// A link that copies the action's properties into its client.
class TActionLink : public TBasicActionLink {
public:
  using TBasicActionLink::TBasicActionLink;

protected:
  void Change() override;
  virtual void SetCaption(const AnsiString&) {}
  virtual void SetChecked(bool) {}
  virtual void SetEnabled(bool) {}
  virtual void SetHelpContext(int) {}
  virtual void SetHint(const AnsiString&) {}
  virtual void SetImageIndex(int) {}
  virtual void SetShortCut(TShortCut) {}
  virtual void SetVisible(bool) {}
};

using TActionEvent = std::function<void(TBasicAction* Action, bool& Handled)>;

class TActionList : public TComponent {
public:
  explicit TActionList(TComponent* owner) : TComponent(owner) {}
  ~TActionList() override;
  AnsiString ClassName() const override { return "TActionList"; }
  int ActionCount() const { return static_cast<int>(FActions.size()); }
  TContainedAction* Actions(int index) const { return FActions.at(static_cast<size_t>(index)); }
  // Runs OnExecute of the list for action; true when the list handled it.
  bool ExecuteAction(TBasicAction* action);
  bool UpdateAction(TBasicAction* action);
  // Updates every action; the application does this when idle.
  void UpdateActions();

  TActionEvent OnExecute;
  TActionEvent OnUpdate;

private:
  friend class TContainedAction;
  std::vector<TContainedAction*> FActions;
};
