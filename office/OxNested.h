// Nested collections of items bound to server objects: the tree of workbooks, sheets, ranges and
// the like that an automation-server component owns, with tree walks and named verbs.
#pragma once

#include <functional>
#include <vector>

#include "office/OxOffice.h"

class TOxNestedCollectionItem;

class TOxNestedCollection : public TCollection {
public:
  // owner: the item or component that owns the collection; root: the component at the top.
  TOxNestedCollection(TPersistent* owner, TOxOfficeComponent* root) : TCollection(nullptr, owner), FRoot(root) {}
  // Items are freed here, while they can still reach their owner and root.
  ~TOxNestedCollection() override { Clear(); }
  TOxOfficeComponent* RootComponent() const { return FRoot; }
  virtual AnsiString GetItemName() const { return "Nested Item"; }
  TOxNestedCollectionItem* NestedItems(int index) const;

  // Each item in order, then its sub-collections in index order.
  void ForEachItem(const std::function<void(TOxNestedCollectionItem*)>& fn) const;
  // Items that match are appended to list (when given); an item's sub-collections are searched
  // only while nothing has matched yet.
  bool FindItems(const std::function<bool(TOxNestedCollectionItem*)>& match,
                 std::vector<TOxNestedCollectionItem*>* list) const;

protected:
  // Makes an item of class T and runs its second creation step.
  template <class T>
  T* AddItem() {
    auto* item = new T(this);
    try {
      item->Create();
    } catch (...) {
      delete item;
      throw;
    }
    return item;
  }

private:
  TOxOfficeComponent* FRoot;
};

class TOxNestedCollectionItem : public TCollectionItem {
public:
  explicit TOxNestedCollectionItem(TOxNestedCollection* collection) : TCollectionItem(collection) {}
  ~TOxNestedCollectionItem() override = default;
  AnsiString ClassName() const override { return "TOxNestedCollectionItem"; }

  // The second step of creation: sub-collections, then binding unless the root is loading.
  void Create();
  virtual TOxNestedCollection* GetSubCollection(int) const { return nullptr; }
  virtual int SubCollectionCount() const { return 0; }
  virtual int VerbCount() const { return 0; }
  virtual AnsiString GetVerb(int) const { return ""; }
  // Asks the root for the server object and keeps it.
  virtual void Connect();
  virtual void ExecuteVerb(int) {}
  virtual void Activate() {}

  IDispatch* ServerObject() const { return FServerObject.Get(); }
  void SetServerObject(TComPtr<IDispatch> object) { FServerObject = std::move(object); }
  void Unbind() { FServerObject.Reset(); }

  TOxNestedCollection* NestedCollection() const { return static_cast<TOxNestedCollection*>(Collection()); }
  TOxNestedCollectionItem* ParentItem() const;
  TOxOfficeComponent* RootComponent() const;
  bool CheckConnected(bool raise, bool property) const;
  void NotifyDesigner() const;

protected:
  virtual void CreateSubCollections() {}
  // Connected and bound: the server can be asked.
  bool Live() const;
  // Server calls on destruction are left out while the server's own event runs.
  bool Dispatching() const;
  bool RootLoading() const;

  TComPtr<IDispatch> FServerObject;
};
