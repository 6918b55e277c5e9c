#include "platform/classlib/Classes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string>* gLog = nullptr;

class TLogged : public TComponent {
public:
  explicit TLogged(TComponent* owner, std::string tag) : TComponent(owner), FTagText(std::move(tag)) {}
  ~TLogged() override {
    Destroying();
    if (gLog) gLog->push_back("free " + FTagText + (HasState(csDestroying) ? " destroying" : ""));
  }
  TComponent* Peer = nullptr;
  std::vector<std::string> Heard;

protected:
  void Notification(TComponent* c, TOperation op) override {
    TComponent::Notification(c, op);
    Heard.push_back(std::string(op == opInsert ? "insert " : "remove ") + c->Name());
    if (op == opRemove && c == Peer) Peer = nullptr;
  }
  void Loaded() override {
    TComponent::Loaded();
    if (gLog) gLog->push_back("loaded " + FTagText);
  }

private:
  std::string FTagText;
};

struct LogScope {
  std::vector<std::string> log;
  LogScope() { gLog = &log; }
  ~LogScope() { gLog = nullptr; }
};

}  // namespace

TEST(Component, OwnerFreesOwnedAndOwnedLeaveTheirOwner) {
  LogScope s;
  {
    auto form = std::make_unique<TLogged>(nullptr, "form");
    auto* a = new TLogged(form.get(), "a");
    auto* b = new TLogged(form.get(), "b");
    new TLogged(a, "a1");
    a->SetName("btnA");
    b->SetName("btnB");
    EXPECT_EQ(form->ComponentCount(), 2);
    EXPECT_EQ(form->Components(1), b);
    EXPECT_EQ(b->ComponentIndex(), 1);
    EXPECT_EQ(form->FindComponent("BTNA"), a);
    EXPECT_THROW(b->SetName("btnA"), EComponentError);
    EXPECT_THROW(b->SetName("1x"), EComponentError);
    EXPECT_THROW(form->Components(2), EListError);
    delete b;  // freed by hand: leaves its owner
    EXPECT_EQ(form->ComponentCount(), 1);
  }
  // Each destructor body runs before the base frees what it owns.
  std::vector<std::string> want = {"free b destroying", "free form destroying", "free a destroying",
                                   "free a1 destroying"};
  EXPECT_EQ(s.log, want);
}

TEST(Component, FreeNotificationClearsReferencesAcrossOwnersAndAmongSiblings) {
  auto formA = std::make_unique<TLogged>(nullptr, "A");
  auto formB = std::make_unique<TLogged>(nullptr, "B");
  auto* holder = new TLogged(formA.get(), "holder");
  auto* images = new TLogged(formB.get(), "images");
  images->SetName("images");
  holder->Peer = images;
  images->FreeNotification(holder);
  delete images;
  EXPECT_EQ(holder->Peer, nullptr);

  // Siblings hear through their owner, also while the owner frees them.
  auto* sibling = new TLogged(formA.get(), "sib");
  sibling->SetName("sib");
  holder->Peer = sibling;
  sibling->FreeNotification(holder);
  delete sibling;
  EXPECT_EQ(holder->Peer, nullptr);

  // A listener freed first unlinks itself: the source's later death must not reach it.
  auto* source = new TLogged(formB.get(), "src");
  auto* listener = new TLogged(nullptr, "listener");
  source->FreeNotification(listener);
  delete listener;
  delete source;  // would touch freed memory under ASan if the link stayed
  SUCCEED();
}

TEST(Component, InsertNotificationsDesigningAndLoading) {
  LogScope s;
  TLogged form(nullptr, "form");
  form.SetDesigning(true);
  auto* a = new TLogged(&form, "a");
  a->SetName("a");
  EXPECT_TRUE(a->HasState(csDesigning));
  auto* b = new TLogged(&form, "b");
  EXPECT_EQ(a->Heard, std::vector<std::string>{"insert "});  // b had no name yet

  form.BeginLoading();
  EXPECT_TRUE(b->HasState(csLoading));
  form.EndLoading();
  EXPECT_FALSE(form.HasState(csLoading));
  EXPECT_FALSE(a->HasState(csLoading));
  std::vector<std::string> want = {"loaded a", "loaded b", "loaded form"};
  EXPECT_EQ(s.log, want);
}

namespace {
class TNamedItem : public TCollectionItem {
public:
  std::string Text;
  void Assign(const TPersistent* src) override {
    if (auto* o = dynamic_cast<const TNamedItem*>(src)) Text = o->Text;
    else TCollectionItem::Assign(src);
  }
};
}  // namespace

TEST(Collection, ItemsAddInsertMoveDeleteAssign) {
  TCollection c(TCollection::ItemClass<TNamedItem>());
  int updates = 0;
  c.OnUpdate = [&](TCollectionItem*) { ++updates; };
  auto* first = static_cast<TNamedItem*>(c.Add());
  first->Text = "one";
  auto* zero = static_cast<TNamedItem*>(c.Insert(0));
  zero->Text = "zero";
  EXPECT_EQ(c.Count(), 2);
  EXPECT_EQ(first->Index(), 1);
  EXPECT_EQ(c.FindItemID(first->ID()), first);
  first->SetIndex(0);
  EXPECT_EQ(c.Items(0), first);

  c.BeginUpdate();
  c.Add();
  c.Add();
  int before = updates;
  c.EndUpdate();
  EXPECT_EQ(updates, before + 1);

  c.Delete(3);
  EXPECT_EQ(c.Count(), 3);
  delete c.Items(2);  // an item freed by hand leaves its collection
  EXPECT_EQ(c.Count(), 2);
  EXPECT_THROW(c.Items(5), EListError);

  TCollection copy(TCollection::ItemClass<TNamedItem>());
  copy.Assign(&c);
  ASSERT_EQ(copy.Count(), 2);
  EXPECT_EQ(static_cast<TNamedItem*>(copy.Items(0))->Text, "one");
  EXPECT_EQ(static_cast<TNamedItem*>(copy.Items(1))->Text, "zero");

  TComponent comp(nullptr);
  EXPECT_THROW(copy.Assign(&comp), EConvertError);

  TCollection other;
  TCollectionItem* moved = c.Items(0);
  moved->SetCollection(&other);
  EXPECT_EQ(c.Count(), 1);
  EXPECT_EQ(other.Items(0), moved);
}
