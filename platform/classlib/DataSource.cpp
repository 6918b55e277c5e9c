#include "platform/classlib/DataSource.h"

#include <algorithm>

#include "platform/classlib/DataLinks.h"

TDataSource::TDataSource(TComponent* AOwner) : TComponent(AOwner) {}

TDataSource::~TDataSource() {
  SetDataSet(nullptr);
  while (!FDataLinks.empty()) {
    TDataLink* link = FDataLinks.back();
    FDataLinks.pop_back();
    link->FDataSource = nullptr;
    link->UpdateState();
  }
}

void TDataSource::SetDataSet(TDataSet* value) {
  if (value == FDataSet) return;
  if (FDataSet) {
    std::erase(FDataSet->FDataSources, this);
    FDataSet->RemoveFreeNotification(this);
  }
  FDataSet = value;
  if (value) {
    value->FDataSources.push_back(this);
    value->FreeNotification(this);
  }
  updateLinks();
}

void TDataSource::SetEnabled(bool value) {
  if (value == FEnabled) return;
  FEnabled = value;
  updateLinks();
}

void TDataSource::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FDataSet) SetDataSet(nullptr);
}

void TDataSource::updateLinks() {
  std::vector<TDataLink*> links = FDataLinks;
  for (TDataLink* link : links)
    if (std::ranges::find(FDataLinks, link) != FDataLinks.end()) link->SourceChanged();
  dataEvent(deUpdateState, nullptr);
}

void TDataSource::dataEvent(TDataEvent event, TField* field) {
  if (event == deUpdateState) {
    if (State() != FLastState) {
      FLastState = State();
      if (OnStateChange) OnStateChange(this);
    }
  } else if (State() != dsInactive && event != deUpdateRecord && event != deCheckBrowseMode && OnDataChange) {
    OnDataChange(this, event == deFieldChange ? field : nullptr);
  }
  if (!FEnabled) return;
  std::vector<TDataLink*> links = FDataLinks;
  for (TDataLink* link : links)
    if (std::ranges::find(FDataLinks, link) != FDataLinks.end()) link->DataEvent(event, field);
}
