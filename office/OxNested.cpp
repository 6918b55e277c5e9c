#include "office/OxNested.h"

TOxNestedCollectionItem* TOxNestedCollection::NestedItems(int index) const {
  return static_cast<TOxNestedCollectionItem*>(Items(index));
}

void TOxNestedCollection::ForEachItem(const std::function<void(TOxNestedCollectionItem*)>& fn) const {
  for (int i = 0; i < Count(); ++i) {
    TOxNestedCollectionItem* item = NestedItems(i);
    fn(item);
    for (int s = 0; s < item->SubCollectionCount(); ++s)
      if (TOxNestedCollection* sub = item->GetSubCollection(s)) sub->ForEachItem(fn);
  }
}

bool TOxNestedCollection::FindItems(const std::function<bool(TOxNestedCollectionItem*)>& match,
                                    std::vector<TOxNestedCollectionItem*>* list) const {
  bool found = false;
  for (int i = 0; i < Count(); ++i) {
    TOxNestedCollectionItem* item = NestedItems(i);
    if (match(item)) {
      found = true;
      if (list) list->push_back(item);
    }
    for (int s = 0; !found && s < item->SubCollectionCount(); ++s)
      if (TOxNestedCollection* sub = item->GetSubCollection(s)) found = sub->FindItems(match, list) || found;
  }
  return found;
}

void TOxNestedCollectionItem::Create() {
  CreateSubCollections();
  if (!RootLoading()) Connect();
}

void TOxNestedCollectionItem::Connect() {
  if (TOxOfficeComponent* root = RootComponent()) FServerObject = root->CreateItem(this);
}

TOxNestedCollectionItem* TOxNestedCollectionItem::ParentItem() const {
  return NestedCollection() ? dynamic_cast<TOxNestedCollectionItem*>(NestedCollection()->Owner()) : nullptr;
}

TOxOfficeComponent* TOxNestedCollectionItem::RootComponent() const {
  return NestedCollection() ? NestedCollection()->RootComponent() : nullptr;
}

bool TOxNestedCollectionItem::CheckConnected(bool raise, bool property) const {
  TOxOfficeComponent* root = RootComponent();
  if (!root) {
    if (raise) throw EOxOfficeError(property ? "You must be connected in order to access this property."
                                             : "You must be connected in order to call this method.");
    return false;
  }
  return root->CheckConnected(raise, property);
}

void TOxNestedCollectionItem::NotifyDesigner() const {
  if (TOxOfficeComponent* root = RootComponent()) root->NotifyDesigner();
}

bool TOxNestedCollectionItem::Live() const { return FServerObject && CheckConnected(false, true); }

bool TOxNestedCollectionItem::Dispatching() const {
  TOxOfficeComponent* root = RootComponent();
  return root && root->HasOxState(oxsDispatching);
}

bool TOxNestedCollectionItem::RootLoading() const {
  TOxOfficeComponent* root = RootComponent();
  return root && root->HasState(csLoading);
}
