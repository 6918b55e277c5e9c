// The class library's object core: persistent objects, the component tree with free notifications,
// and collections of items.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/rtl/AnsiString.h"
#include "platform/rtl/Exceptions.h"

QUORVEX_EXCEPTION(EComponentError, Exception);

class TPersistent {
public:
  virtual ~TPersistent() = default;
  // Copies source into this; raises EConvertError when neither side knows the other.
  virtual void Assign(const TPersistent* source);
  // The class name the messages show; by default the C++ type's name.
  virtual AnsiString ClassName() const;

protected:
  // Tried when this object's Assign does not know the source: the source may know how to copy itself.
  virtual void AssignTo(TPersistent* dest) const;
};

// Component state bits keep the class library's order.
// The root of the class library's objects as event senders see it.
using TObject = TPersistent;
using TNotifyEvent = std::function<void(TObject* Sender)>;

enum TComponentStateFlag : uint32_t {
  csLoading = 0x001,
  csReading = 0x002,
  csWriting = 0x004,
  csDestroying = 0x008,
  csDesigning = 0x010,
  csAncestor = 0x020,
  csUpdating = 0x040,
  csFixups = 0x080,
  csFreeNotification = 0x100,
  csInline = 0x200,
  csDesignInstance = 0x400,
};
using TComponentState = uint32_t;

enum TOperation { opInsert, opRemove };

// A component frees the components it owns when it is freed. Other references between components
// are plain pointers that free notifications clear: a component that holds a pointer to another calls
// other->FreeNotification(this) and drops the pointer in Notification(other, opRemove).
//
// C++ runs a derived destructor before this one; a derived class whose owned components reach back
// into it calls DestroyComponents() at the start of its own destructor.
class TComponent : public TPersistent {
public:
  explicit TComponent(TComponent* owner);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const { return FOwner; }
  const AnsiString& Name() const { return FName; }
  // Raises EComponentError for a name that is not an identifier or that a sibling already has.
  virtual void SetName(const AnsiString& name);
  int Tag() const { return FTag; }
  void SetTag(int tag) { FTag = tag; }

  int ComponentCount() const { return static_cast<int>(FComponents.size()); }
  TComponent* Components(int index) const;
  int ComponentIndex() const;
  TComponent* FindComponent(const AnsiString& name) const;  // case-insensitive

  TComponentState ComponentState() const { return FComponentState; }
  bool HasState(TComponentStateFlag f) const { return (FComponentState & f) != 0; }
  // Designing spreads to the owned components.
  void SetDesigning(bool value);
  // Brackets a load from stored settings: csLoading on this and the owned components, then
  // Loaded on each of them, owned ones first.
  void BeginLoading();
  void EndLoading();

  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);
  void DestroyComponents();
  // Marks this and the owned components as being destroyed.
  void Destroying();

  // Asks that `component` receives Notification(this, opRemove) when this one is freed.
  void FreeNotification(TComponent* component);
  void RemoveFreeNotification(TComponent* component);

  // Expires when the component is freed; queues hold it so as never to reach a freed component.
  std::weak_ptr<const void> Liveness() const { return FLiveness; }

protected:
  // By default drops free-notification links to a removed component and passes the news on to
  // the owned components.
  virtual void Notification(TComponent* component, TOperation operation);
  // Called when loading ends; clears csLoading.
  virtual void Loaded();
  void SetComponentState(TComponentStateFlag f, bool on);

private:
  void insert(TComponent* c);
  void remove(TComponent* c);
  void unlinkFreeNotification(TComponent* c);

  TComponent* FOwner = nullptr;
  AnsiString FName;
  int FTag = 0;
  TComponentState FComponentState = 0;
  std::vector<TComponent*> FComponents;  // owned: freed with this one
  std::vector<TComponent*> FFreeNotifies;
  std::shared_ptr<const void> FLiveness = std::make_shared<int>(0);
};

class TCollection;

enum TCollectionNotification { cnAdded, cnExtracting, cnDeleting };

class TCollectionItem : public TPersistent {
public:
  // Adds itself to collection when one is given.
  explicit TCollectionItem(TCollection* collection = nullptr);
  ~TCollectionItem() override;
  TCollectionItem(const TCollectionItem&) = delete;
  TCollectionItem& operator=(const TCollectionItem&) = delete;

  TCollection* Collection() const { return FCollection; }
  // Moves the item to another collection (nullptr: out of any, the caller then owns it).
  void SetCollection(TCollection* collection);
  int Index() const;
  void SetIndex(int index);
  int ID() const { return FID; }
  virtual AnsiString DisplayName() const;
  AnsiString ClassName() const override { return "TCollectionItem"; }

protected:
  // Tells the collection that this item (or every item) changed.
  void Changed(bool allItems);

private:
  friend class TCollection;
  TCollection* FCollection = nullptr;
  int FID = 0;
};

// Owns its items. The factory makes the items that Add and Insert create, standing for the item class.
class TCollection : public TPersistent {
public:
  using TItemFactory = std::function<std::unique_ptr<TCollectionItem>()>;
  explicit TCollection(TItemFactory factory = nullptr, TPersistent* owner = nullptr);
  ~TCollection() override;
  TCollection(const TCollection&) = delete;
  TCollection& operator=(const TCollection&) = delete;

  template <class TItem>
  static TItemFactory ItemClass() {
    return [] { return std::unique_ptr<TCollectionItem>(std::make_unique<TItem>()); };
  }

  int Count() const { return static_cast<int>(FItems.size()); }
  TCollectionItem* Items(int index) const;
  TCollectionItem* Add();
  TCollectionItem* Insert(int index);
  void Delete(int index);
  void Clear();
  TCollectionItem* FindItemID(int id) const;
  TPersistent* Owner() const { return FOwner; }
  // Replaces the items by copies of source's items (each assigned item by item).
  void Assign(const TPersistent* source) override;
  AnsiString ClassName() const override { return "TCollection"; }

  // Update runs once at the outermost EndUpdate.
  void BeginUpdate() { ++FUpdateCount; }
  void EndUpdate();
  int UpdateCount() const { return FUpdateCount; }
  std::function<void(TCollectionItem*)> OnUpdate;

protected:
  // item nullptr: every item changed.
  virtual void Update(TCollectionItem* item);
  virtual void Notify(TCollectionItem* item, TCollectionNotification action);
  void Changed();

private:
  friend class TCollectionItem;
  void insertItem(TCollectionItem* item, int index);
  void removeItem(TCollectionItem* item);
  std::unique_ptr<TCollectionItem> makeItem() const;

  TItemFactory FItemFactory;
  TPersistent* FOwner = nullptr;
  std::vector<TCollectionItem*> FItems;  // owned: freed with the collection
  int FNextID = 0;
  int FUpdateCount = 0;
};
