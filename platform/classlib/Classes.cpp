#include "platform/classlib/Classes.h"

#include <cxxabi.h>

#include <algorithm>
#include <cstdlib>
#include <typeinfo>

namespace {

bool isIdent(const AnsiString& s) {
  auto alpha = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
  if (s.empty() || !alpha(s[0])) return false;
  return std::all_of(s.begin(), s.end(), [&](char c) { return alpha(c) || (c >= '0' && c <= '9'); });
}

template <class T>
void eraseOne(std::vector<T*>& v, T* p) {
  auto it = std::find(v.begin(), v.end(), p);
  if (it != v.end()) v.erase(it);
}

}  // namespace

// ---- TPersistent

void TPersistent::Assign(const TPersistent* source) {
  if (source) {
    source->AssignTo(this);
    return;
  }
  throw EConvertError("Cannot assign a %s to a %s", {AnsiString("nil"), ClassName()});
}

void TPersistent::AssignTo(TPersistent* dest) const {
  throw EConvertError("Cannot assign a %s to a %s", {ClassName(), dest->ClassName()});
}

AnsiString TPersistent::ClassName() const {
  const char* raw = typeid(*this).name();
  int status = 0;
  char* d = abi::__cxa_demangle(raw, nullptr, nullptr, &status);
  AnsiString r = (status == 0 && d) ? d : raw;
  std::free(d);
  return r;
}

// ---- TComponent

TComponent::TComponent(TComponent* owner) {
  if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
  Destroying();
  while (!FFreeNotifies.empty()) {
    TComponent* c = FFreeNotifies.back();
    unlinkFreeNotification(c);
    c->Notification(this, opRemove);
  }
  DestroyComponents();
  if (FOwner) FOwner->RemoveComponent(this);
}

void TComponent::SetName(const AnsiString& name) {
  if (name == FName) return;
  if (!name.empty() && !isIdent(name)) throw EComponentError("''%s'' is not a valid component name", {name});
  if (FOwner && !name.empty()) {
    TComponent* other = FOwner->FindComponent(name);
    if (other && other != this) throw EComponentError("A component named %s already exists", {name});
  }
  FName = name;
}

TComponent* TComponent::Components(int index) const {
  if (index < 0 || index >= ComponentCount()) throw EListError("List index out of bounds (%d)", {index});
  return FComponents[static_cast<std::size_t>(index)];
}

int TComponent::ComponentIndex() const {
  if (!FOwner) return -1;
  auto& v = FOwner->FComponents;
  auto it = std::find(v.begin(), v.end(), this);
  return it == v.end() ? -1 : static_cast<int>(it - v.begin());
}

TComponent* TComponent::FindComponent(const AnsiString& name) const {
  if (name.empty()) return nullptr;
  for (TComponent* c : FComponents)
    if (SameText(c->FName, name)) return c;
  return nullptr;
}

void TComponent::SetComponentState(TComponentStateFlag f, bool on) {
  if (on) FComponentState |= f;
  else FComponentState &= ~static_cast<TComponentState>(f);
}

void TComponent::SetDesigning(bool value) {
  SetComponentState(csDesigning, value);
  for (TComponent* c : FComponents) c->SetDesigning(value);
}

void TComponent::BeginLoading() {
  SetComponentState(csLoading, true);
  for (TComponent* c : FComponents) c->BeginLoading();
}

void TComponent::EndLoading() {
  // A copy: Loaded may create or free components.
  std::vector<TComponent*> owned = FComponents;
  for (TComponent* c : owned)
    if (std::find(FComponents.begin(), FComponents.end(), c) != FComponents.end()) c->EndLoading();
  if (HasState(csLoading)) Loaded();
}

void TComponent::Loaded() { SetComponentState(csLoading, false); }

void TComponent::insert(TComponent* c) {
  FComponents.push_back(c);
  c->FOwner = this;
}

void TComponent::remove(TComponent* c) {
  eraseOne(FComponents, c);
  c->FOwner = nullptr;
}

void TComponent::InsertComponent(TComponent* component) {
  if (!component || component->FOwner == this) return;
  if (!component->FName.empty() && FindComponent(component->FName))
    throw EComponentError("A component named %s already exists", {component->FName});
  if (component->FOwner) component->FOwner->RemoveComponent(component);
  insert(component);
  if (HasState(csDesigning)) component->SetDesigning(true);
  Notification(component, opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
  if (!component || component->FOwner != this) return;
  Notification(component, opRemove);
  remove(component);
}

void TComponent::DestroyComponents() {
  while (!FComponents.empty()) {
    TComponent* c = FComponents.back();
    // Siblings hear of a component that asked for free notifications.
    if (c->HasState(csFreeNotification)) RemoveComponent(c);
    else remove(c);
    delete c;
  }
}

void TComponent::Destroying() {
  if (HasState(csDestroying)) return;
  SetComponentState(csDestroying, true);
  for (TComponent* c : FComponents) c->Destroying();
}

void TComponent::FreeNotification(TComponent* component) {
  if (!component || component == this) return;
  // Siblings are told through their common owner.
  if (!FOwner || component->FOwner != FOwner) {
    if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), component) == FFreeNotifies.end())
      FFreeNotifies.push_back(component);
    if (std::find(component->FFreeNotifies.begin(), component->FFreeNotifies.end(), this) ==
        component->FFreeNotifies.end())
      component->FFreeNotifies.push_back(this);
  }
  SetComponentState(csFreeNotification, true);
}

void TComponent::unlinkFreeNotification(TComponent* c) {
  eraseOne(FFreeNotifies, c);
  eraseOne(c->FFreeNotifies, this);
}

void TComponent::RemoveFreeNotification(TComponent* component) {
  if (component) unlinkFreeNotification(component);
}

void TComponent::Notification(TComponent* component, TOperation operation) {
  if (operation == opRemove && component) RemoveFreeNotification(component);
  // A copy: a notified component may free others.
  std::vector<TComponent*> owned = FComponents;
  for (auto it = owned.rbegin(); it != owned.rend(); ++it)
    if (std::find(FComponents.begin(), FComponents.end(), *it) != FComponents.end())
      (*it)->Notification(component, operation);
}

// ---- TCollectionItem

TCollectionItem::TCollectionItem(TCollection* collection) {
  if (collection) SetCollection(collection);
}

TCollectionItem::~TCollectionItem() {
  if (FCollection) FCollection->removeItem(this);
}

void TCollectionItem::SetCollection(TCollection* collection) {
  if (collection == FCollection) return;
  if (FCollection) FCollection->removeItem(this);
  if (collection) collection->insertItem(this, collection->Count());
}

int TCollectionItem::Index() const {
  if (!FCollection) return -1;
  auto& v = FCollection->FItems;
  auto it = std::find(v.begin(), v.end(), this);
  return it == v.end() ? -1 : static_cast<int>(it - v.begin());
}

void TCollectionItem::SetIndex(int index) {
  int cur = Index();
  if (cur < 0 || index == cur) return;
  auto& v = FCollection->FItems;
  index = std::clamp(index, 0, static_cast<int>(v.size()) - 1);
  v.erase(v.begin() + cur);
  v.insert(v.begin() + index, this);
  Changed(true);
}

AnsiString TCollectionItem::DisplayName() const { return ClassName(); }

void TCollectionItem::Changed(bool allItems) {
  if (FCollection && FCollection->FUpdateCount == 0) FCollection->Update(allItems ? nullptr : this);
}

// ---- TCollection

TCollection::TCollection(TItemFactory factory, TPersistent* owner)
    : FItemFactory(std::move(factory)), FOwner(owner) {}

TCollection::~TCollection() {
  FUpdateCount = 1;  // no updates while the items go
  while (!FItems.empty()) delete FItems.back();
}

TCollectionItem* TCollection::Items(int index) const {
  if (index < 0 || index >= Count()) throw EListError("List index out of bounds (%d)", {index});
  return FItems[static_cast<std::size_t>(index)];
}

std::unique_ptr<TCollectionItem> TCollection::makeItem() const {
  return FItemFactory ? FItemFactory() : std::make_unique<TCollectionItem>();
}

TCollectionItem* TCollection::Add() { return Insert(Count()); }

TCollectionItem* TCollection::Insert(int index) {
  if (index < 0 || index > Count()) throw EListError("List index out of bounds (%d)", {index});
  auto item = makeItem();
  TCollectionItem* p = item.release();
  insertItem(p, index);
  return p;
}

void TCollection::insertItem(TCollectionItem* item, int index) {
  FItems.insert(FItems.begin() + index, item);
  item->FCollection = this;
  item->FID = FNextID++;
  Notify(item, cnAdded);
  Changed();
}

void TCollection::removeItem(TCollectionItem* item) {
  Notify(item, cnExtracting);
  eraseOne(FItems, item);
  item->FCollection = nullptr;
  Changed();
}

void TCollection::Delete(int index) {
  TCollectionItem* item = Items(index);
  Notify(item, cnDeleting);
  delete item;
}

void TCollection::Clear() {
  if (FItems.empty()) return;
  BeginUpdate();
  while (!FItems.empty()) delete FItems.back();
  EndUpdate();
}

TCollectionItem* TCollection::FindItemID(int id) const {
  for (TCollectionItem* i : FItems)
    if (i->FID == id) return i;
  return nullptr;
}

void TCollection::Assign(const TPersistent* source) {
  auto* other = dynamic_cast<const TCollection*>(source);
  if (!other) {
    TPersistent::Assign(source);
    return;
  }
  if (other == this) return;
  BeginUpdate();
  try {
    Clear();
    for (TCollectionItem* i : other->FItems) Add()->Assign(i);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TCollection::EndUpdate() {
  if (FUpdateCount > 0 && --FUpdateCount == 0) Changed();
}

void TCollection::Changed() {
  if (FUpdateCount == 0) Update(nullptr);
}

void TCollection::Update(TCollectionItem* item) {
  if (OnUpdate) OnUpdate(item);
}

void TCollection::Notify(TCollectionItem*, TCollectionNotification) {}
