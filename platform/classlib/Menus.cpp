#include "platform/classlib/Menus.h"

#include <algorithm>
#include <cctype>

#include "platform/gdi/DrawText.h"
#include "platform/classlib/Controls.h"
#include "platform/classlib/Forms.h"
#include "platform/win/Input.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/VirtualKeys.h"
#include "platform/win/Windows.h"

// ---- helpers ----

TShortCut ShortCut(uint16_t key, unsigned shift) {
  TShortCut sc = key & 0xFF;
  if (shift & ssShift) sc |= scShift;
  if (shift & ssCtrl) sc |= scCtrl;
  if (shift & ssAlt) sc |= scAlt;
  return sc;
}

AnsiString ShortCutToText(TShortCut sc) {
  uint16_t key = sc & 0xFF;
  AnsiString name;
  if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) name = AnsiString(1, static_cast<char>(key));
  else if (key >= VK_F1 && key <= VK_F12) name = "F" + std::to_string(key - VK_F1 + 1);
  else {
    switch (key) {
      case VK_BACK: name = "BkSp"; break;
      case VK_TAB: name = "Tab"; break;
      case VK_RETURN: name = "Enter"; break;
      case VK_ESCAPE: name = "Esc"; break;
      case VK_SPACE: name = "Space"; break;
      case VK_PRIOR: name = "PgUp"; break;
      case VK_NEXT: name = "PgDn"; break;
      case VK_END: name = "End"; break;
      case VK_HOME: name = "Home"; break;
      case VK_LEFT: name = "Left"; break;
      case VK_UP: name = "Up"; break;
      case VK_RIGHT: name = "Right"; break;
      case VK_DOWN: name = "Down"; break;
      case VK_INSERT: name = "Ins"; break;
      case VK_DELETE: name = "Del"; break;
      default: return "";
    }
  }
  AnsiString r;
  if (sc & scShift) r += "Shift+";
  if (sc & scCtrl) r += "Ctrl+";
  if (sc & scAlt) r += "Alt+";
  return r + name;
}

AnsiString StripHotkey(const AnsiString& caption) {
  AnsiString r;
  for (size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&') {
      if (i + 1 < caption.size() && caption[i + 1] == '&') r += '&';
      if (i + 1 < caption.size()) ++i;
      else continue;
      if (caption[i] == '&') continue;
    }
    r += caption[i];
  }
  return r;
}

char GetHotkey(const AnsiString& caption) {
  for (size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != '&') continue;
    if (caption[i + 1] == '&') {
      ++i;
      continue;
    }
    return static_cast<char>(std::toupper(static_cast<unsigned char>(caption[i + 1])));
  }
  return 0;
}

// ---- TMenuItem ----

class TMenuItem::TMenuActionLink final : public TActionLink {
public:
  explicit TMenuActionLink(TMenuItem* item) : TActionLink(item), FItem(item) {}

protected:
  void SetCaption(const AnsiString& v) override { FItem->SetCaption(v); }
  void SetChecked(bool v) override { FItem->SetChecked(v); }
  void SetEnabled(bool v) override { FItem->SetEnabled(v); }
  void SetHelpContext(int v) override { FItem->SetHelpContext(v); }
  void SetHint(const AnsiString& v) override { FItem->SetHint(v); }
  void SetShortCut(TShortCut v) override { FItem->SetShortCut(v); }
  void SetVisible(bool v) override { FItem->SetVisible(v); }

private:
  TMenuItem* FItem = nullptr;
};

TMenuItem::TMenuItem(TComponent* owner) : TComponent(owner) {}

TMenuItem::~TMenuItem() {
  FActionLink.reset();
  // Children owned elsewhere just lose their parent; those without an owner go with it.
  while (!FItems.empty()) {
    TMenuItem* c = FItems.back();
    FItems.pop_back();
    c->FParent = nullptr;
    if (!c->Owner()) delete c;
  }
  if (FParent) FParent->Remove(this);
}

void TMenuItem::SetCaption(const AnsiString& v) { FCaption = v; }
void TMenuItem::SetEnabled(bool v) { FEnabled = v; }
void TMenuItem::SetVisible(bool v) { FVisible = v; }

void TMenuItem::SetChecked(bool v) {
  if (v == FChecked) return;
  FChecked = v;
  // A checked radio item unchecks the others of its group.
  if (v && FRadioItem && FParent)
    for (TMenuItem* s : FParent->FItems)
      if (s != this && s->FRadioItem && s->FGroupIndex == FGroupIndex) s->FChecked = false;
}

void TMenuItem::SetAction(TBasicAction* v) {
  if (FActionLink && FActionLink->Action()) FActionLink->Action()->RemoveFreeNotification(this);
  if (!v) {
    FActionLink.reset();
    return;
  }
  if (!FActionLink) FActionLink = std::make_unique<TMenuActionLink>(this);
  FActionLink->SetAction(v);
  v->FreeNotification(this);
}

void TMenuItem::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove && FActionLink && component == FActionLink->Action()) FActionLink.reset();
}

void TMenuItem::Add(TMenuItem* item) { Insert(Count(), item); }

void TMenuItem::Insert(int index, TMenuItem* item) {
  if (!item) return;
  if (item->FParent) throw EInvalidOperation("Menu inserted twice");
  index = std::clamp(index, 0, Count());
  FItems.insert(FItems.begin() + index, item);
  item->FParent = this;
}

void TMenuItem::Remove(TMenuItem* item) {
  auto it = std::find(FItems.begin(), FItems.end(), item);
  if (it == FItems.end()) return;
  FItems.erase(it);
  item->FParent = nullptr;
}

void TMenuItem::Clear() {
  while (!FItems.empty()) delete FItems.back();
}

int TMenuItem::IndexOf(const TMenuItem* item) const {
  auto it = std::find(FItems.begin(), FItems.end(), item);
  return it == FItems.end() ? -1 : static_cast<int>(it - FItems.begin());
}

TMenuItem* TMenuItem::FindAccel(uint16_t key) const {
  char want = static_cast<char>(std::toupper(key & 0xFF));
  for (TMenuItem* i : FItems)
    if (i->FVisible && i->FEnabled && !i->IsLine() && GetHotkey(i->FCaption) == want) return i;
  return nullptr;
}

TMenuItem* TMenuItem::FindShortCut(TShortCut sc) {
  if (sc == 0) return nullptr;
  if (FShortCut == sc) return this;
  for (TMenuItem* i : FItems)
    if (TMenuItem* f = i->FindShortCut(sc)) return f;
  return nullptr;
}

void TMenuItem::Click() {
  if (!FEnabled) return;
  if (!OnClick && FActionLink && FActionLink->Action()) {
    FActionLink->Execute(this);
    return;
  }
  if (OnClick) OnClick(this);
}

// ---- TMenu ----

TMenu::TMenu(TComponent* owner) : TComponent(owner), FItems(new TMenuItem(this)) {}

TMenu::~TMenu() = default;

bool TMenu::IsShortCut(TShortCut sc) {
  TMenuItem* item = FItems->FindShortCut(sc);
  if (!item) return false;
  for (TMenuItem* p = item; p; p = p->Parent())
    if (!p->Enabled() || !p->Visible()) return false;
  item->Click();
  return true;
}

// ---- the popup window ----

namespace {

constexpr int ItemHeight = 18;
constexpr int SeparatorHeight = 8;
constexpr int TextIndent = 20;

TPopupTracker& Tracker() {
  static TPopupTracker t;
  return t;
}

bool Selectable(const TMenuItem* i) { return i->Visible() && i->Enabled() && !i->IsLine(); }

// The list of a popup menu's items as a window of its own, tracked until a choice or a cancel.
class TPopupList final : public TCustomControl {
public:
  explicit TPopupList(TPopupMenu& menu) : TCustomControl(nullptr) {
    FVisible = false;
    SetColor(clMenu);
    Font().SetColor(clMenuText);
    for (int i = 0; i < menu.Items().Count(); ++i)
      if (menu.Items().Items(i)->Visible()) FItems.push_back(menu.Items().Items(i));
  }
  AnsiString ClassName() const override { return "TPopupList"; }

  TMenuItem* Track(int x, int y) {
    int w = 80, h = 4;
    for (TMenuItem* i : FItems) {
      h += i->IsLine() ? SeparatorHeight : ItemHeight;
      AnsiString text = StripHotkey(i->Caption());
      AnsiString sc = ShortCutToText(i->ShortCut());
      w = std::max(w, Canvas().TextWidth(text) + (sc.empty() ? 0 : Canvas().TextWidth(sc) + 24) + 2 * TextIndent);
    }
    TRect area = GetWorkArea();
    if (x + w > area.Right) x = std::max(area.Left, area.Right - w);
    if (y + h > area.Bottom) y = std::max(area.Top, area.Bottom - h);
    SetBounds(x, y, w, h);
    HandleNeeded();
    ShowWindow(FHandle, SW_SHOWNA);
    SetWindowPos(FHandle, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetCapture(FHandle);
    HWND h0 = FHandle;
    TApplication& app = Application();
    auto close = [&] {
      if (GetCapture() == h0) ReleaseCapture();
      if (IsWindow(h0)) ShowWindow(h0, SW_HIDE);
    };
    try {
      trackLoop(app);
    } catch (...) {
      close();
      throw;
    }
    close();
    return FChosen;
  }

private:
  // The loop ends on a choice, a cancel, or when nothing more can come.
  void trackLoop(TApplication& app) {
    while (!FDone && !app.Terminated()) {
      TMsg msg;
      if (PeekMessage(msg, 0, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
          PostQuitMessage(static_cast<int>(msg.wParam));
          break;
        }
        if (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) msg.hwnd = FHandle;
        TranslateMessage(msg);
        DispatchMessage(msg);
        continue;
      }
      if (app.HandleOne()) continue;
      try {
        WaitMessage();
      } catch (const Exception&) {
        break;
      }
    }
  }

protected:
  void CreateParams(TCreateParams& p) override {
    TCustomControl::CreateParams(p);
    p.Style = WS_POPUP | WS_BORDER;
    p.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
    p.WndParent = 0;
  }

  void Paint() override {
    TCanvas& c = Canvas();
    int y = 1;
    for (size_t n = 0; n < FItems.size(); ++n) {
      TMenuItem* i = FItems[n];
      if (i->IsLine()) {
        c.Pen().SetColor(clBtnShadow);
        c.MoveTo(2, y + SeparatorHeight / 2 - 1);
        c.LineTo(ClientWidth() - 2, y + SeparatorHeight / 2 - 1);
        c.Pen().SetColor(clBtnHighlight);
        c.MoveTo(2, y + SeparatorHeight / 2);
        c.LineTo(ClientWidth() - 2, y + SeparatorHeight / 2);
        y += SeparatorHeight;
        continue;
      }
      TRect r{0, y, ClientWidth(), y + ItemHeight};
      bool hot = static_cast<int>(n) == FHot;
      c.Brush().SetColor(hot ? clHighlight : clMenu);
      c.FillRect(r);
      c.Brush().SetStyle(bsClear);
      c.Font().SetColor(!i->Enabled() ? clGrayText : hot ? clHighlightText : clMenuText);
      c.Font().SetStyle(i->Default() ? TFontStyles{fsBold} : TFontStyles{0});
      TRect tr{TextIndent, y, r.Right - 8, y + ItemHeight};
      c.DrawText(i->Caption(), tr, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
      AnsiString sc = ShortCutToText(i->ShortCut());
      if (!sc.empty()) c.DrawText(sc, tr, DT_SINGLELINE | DT_VCENTER | DT_RIGHT | DT_NOPREFIX);
      if (i->Checked()) {
        TColor mark = !i->Enabled() ? clGrayText : hot ? clHighlightText : clMenuText;
        int mx = 6, my = y + ItemHeight / 2;
        c.Pen().SetColor(mark);
        if (i->RadioItem()) {
          c.Brush().SetColor(mark);
          c.Ellipse(mx, my - 3, mx + 7, my + 4);
        } else {
          for (int d = 0; d < 2; ++d) c.Polyline({Point(mx, my - 1 + d), Point(mx + 2, my + 1 + d), Point(mx + 7, my - 4 + d)});
        }
      }
      y += ItemHeight;
    }
  }

  void WndProc(TMessage& m) override {
    switch (m.Msg) {
      case WM_KEYDOWN:
      case WM_SYSKEYDOWN: keyDown(static_cast<uint16_t>(m.WParam)); return;
      case WM_CHAR:
      case WM_SYSCHAR: {
        char want = static_cast<char>(std::toupper(static_cast<unsigned char>(m.WParam)));
        for (TMenuItem* i : FItems)
          if (Selectable(i) && GetHotkey(i->Caption()) == want) {
            choose(i);
            return;
          }
        return;
      }
      case WM_MOUSEMOVE: {
        int n = itemAt(GET_Y_LPARAM(m.LParam));
        if (ClientRect().Contains(GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)) && n != FHot) setHot(n);
        return;
      }
      case WM_LBUTTONDOWN:
      case WM_RBUTTONDOWN:
        if (!ClientRect().Contains(GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam))) FDone = true;
        return;
      case WM_LBUTTONUP:
      case WM_RBUTTONUP: {
        int x = GET_X_LPARAM(m.LParam), y = GET_Y_LPARAM(m.LParam);
        if (!ClientRect().Contains(x, y)) return;
        int n = itemAt(y);
        if (n >= 0 && Selectable(FItems[static_cast<size_t>(n)])) choose(FItems[static_cast<size_t>(n)]);
        return;
      }
      case WM_CAPTURECHANGED:
      case WM_CANCELMODE:
        if (!FDone && static_cast<HWND>(m.LParam) != FHandle) FDone = true;
        return;
      case WM_MOUSEACTIVATE: m.Result = MA_NOACTIVATE; return;
    }
    TCustomControl::WndProc(m);
  }

private:
  int itemAt(int y) const {
    int top = 1;
    for (size_t n = 0; n < FItems.size(); ++n) {
      int h = FItems[n]->IsLine() ? SeparatorHeight : ItemHeight;
      if (y >= top && y < top + h) return static_cast<int>(n);
      top += h;
    }
    return -1;
  }
  void setHot(int n) {
    FHot = n;
    Invalidate();
  }
  void step(int dir) {
    int count = static_cast<int>(FItems.size());
    int n = FHot;
    for (int k = 0; k < count; ++k) {
      n = n < 0 ? (dir > 0 ? 0 : count - 1) : (n + dir + count) % count;
      if (Selectable(FItems[static_cast<size_t>(n)])) {
        setHot(n);
        return;
      }
    }
  }
  void keyDown(uint16_t key) {
    switch (key) {
      case VK_DOWN: step(1); break;
      case VK_UP: step(-1); break;
      case VK_HOME: FHot = -1; step(1); break;
      case VK_END: FHot = -1; step(-1); break;
      case VK_ESCAPE:
      case VK_MENU: FDone = true; break;
      case VK_RETURN:
        if (FHot >= 0 && Selectable(FItems[static_cast<size_t>(FHot)])) choose(FItems[static_cast<size_t>(FHot)]);
        break;
    }
  }
  void choose(TMenuItem* i) {
    FChosen = i;
    FDone = true;
  }

  std::vector<TMenuItem*> FItems;
  int FHot = -1;
  bool FDone = false;
  TMenuItem* FChosen = nullptr;
};

}  // namespace

// ---- TPopupMenu ----

TPopupMenu::TPopupMenu(TComponent* owner) : TMenu(owner) {}
TPopupMenu::~TPopupMenu() = default;

void TPopupMenu::SetTracker(TPopupTracker tracker) { Tracker() = std::move(tracker); }

void TPopupMenu::SetPopupComponent(TComponent* c) {
  if (c == FPopupComponent) return;
  if (FPopupComponent) FPopupComponent->RemoveFreeNotification(this);
  FPopupComponent = c;
  if (c) c->FreeNotification(this);
}

void TPopupMenu::Notification(TComponent* component, TOperation operation) {
  TMenu::Notification(component, operation);
  if (operation == opRemove && component == FPopupComponent) FPopupComponent = nullptr;
}

void TPopupMenu::Popup(int x, int y) {
  if (OnPopup) OnPopup(this);
  bool any = false;
  for (int i = 0; i < Items().Count(); ++i) any = any || Items().Items(i)->Visible();
  if (!any) return;
  std::weak_ptr<const void> alive = Liveness();
  TMenuItem* chosen = nullptr;
  if (Tracker()) {
    chosen = Tracker()(*this, x, y);
  } else {
    TPopupList list(*this);
    if (FAlignment == paRight) x -= 1;
    chosen = list.Track(x, y);
  }
  if (alive.expired() || !chosen) return;
  chosen->Click();
}
