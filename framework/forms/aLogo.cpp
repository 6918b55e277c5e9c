#include "framework/forms/aLogo.h"

#include <algorithm>

#include "platform/rtl/Format.h"

namespace {

AnsiString GLoggedInUserName;

const char* const SWebsiteHint = "Keldara website";
const char* const SWebsiteUserHint = "Keldara website\rLogged in user is %s";

}  // namespace

const AnsiString& LoggedInUserName() { return GLoggedInUserName; }
void SetLoggedInUserName(const AnsiString& name) { GLoggedInUserName = name; }

TMainFrameServices* AsMainFrame(TComponent* component) { return dynamic_cast<TMainFrameServices*>(component); }

TabsLogo::TabsLogo(TComponent* AOwner) : TabsRoot(AOwner) {
  SetCaption("Abstract Logo Form");
  dckLogo = new TtbDock(this);
  dckLogo->SetName("dckLogo");
  dckLogo->SetPosition(adpTop);
  dckLogo->SetParent(this);
  tlbLogo = new TtbToolbar(this);
  tlbLogo->SetName("tlbLogo");
  tlbLogo->SetParent(dckLogo);
  // It carries the window's only way to its work and out: closed, nothing would bring it back.
  tlbLogo->SetCloseButton(false);
  imgUserLogo = new TImage(this);
  imgUserLogo->SetName("imgUserLogo");
  imgUserLogo->SetBounds(0, 0, LogoImageWidth, LogoImageHeight);
  imgUserLogo->SetCenter(true);
  PlaceOnToolbar(tlbLogo, imgUserLogo, LogoOrderImage);
  btnExit = AddToolbarButton(tlbLogo, "btnExit", "Exit", LogoOrderExit, LogoButtonWidth, LogoButtonHeight);
  btnExit->OnClick = [this](TObject* Sender) { btnExitClick(Sender); };
  btnKeldaraWebsite =
      AddToolbarButton(tlbLogo, "btnKeldaraWebsite", "Website", LogoOrderWebsite, LogoButtonWidth, LogoButtonHeight);
  btnKeldaraWebsite->SetHint(SWebsiteHint);
  btnKeldaraWebsite->SetShowHint(true);
  btnKeldaraWebsite->SetVisible(false);
  btnKeldaraWebsite->SetEnabled(false);
  btnKeldaraWebsite->OnClick = [this](TObject* Sender) { btnKeldaraWebsiteClick(Sender); };
}

TabsLogo::~TabsLogo() { BeforeDestruction(); }

TtbToolbarButton* TabsLogo::AddToolbarButton(TtbToolbar* toolbar, const AnsiString& name, const AnsiString& caption,
                                             int order, int width, int height) {
  auto* b = new TtbToolbarButton(this);
  b->SetName(name);
  b->SetCaption(caption);
  b->SetBounds(0, 0, width, height);
  PlaceOnToolbar(toolbar, b, order);
  return b;
}

void TabsLogo::PlaceOnToolbar(TtbToolbar* toolbar, TControl* control, int order) {
  control->SetParent(toolbar);
  FDesignPlaces.push_back({toolbar, control, order});
}

void TabsLogo::AfterConstruction() {
  if (!FBuilt) {
    FBuilt = true;
    // The toolbars order their items by position when loading ends; the layout then places them.
    std::vector<TtbToolbar*> toolbars;
    for (const TDesignPlace& p : FDesignPlaces)
      if (std::find(toolbars.begin(), toolbars.end(), p.Toolbar) == toolbars.end()) toolbars.push_back(p.Toolbar);
    for (TtbToolbar* t : toolbars) t->BeginArrange();
    for (const TDesignPlace& p : FDesignPlaces) p.Control->SetLeft(p.Order);
    BeginLoading();
    EndLoading();
    for (TtbToolbar* t : toolbars) t->EndArrange();
  }
  TabsRoot::AfterConstruction();
}

int TabsLogo::BottomInForm(TControl* control) {
  return control->ClientToScreen(Point(0, control->Height())).Y - ClientOrigin().Y;
}

int TabsLogo::RightInForm(TControl* control) {
  return control->ClientToScreen(Point(control->Width(), 0)).X - ClientOrigin().X;
}

void TabsLogo::SetSizeConstraints() {
  Constraints().SetMinHeight(BottomInForm(dckLogo) + LogoMinHeightExtra);
  Constraints().SetMinWidth(RightInForm(btnExit) + LogoMinWidthExtra);
}

void TabsLogo::FormCreate(TObject* Sender) {
  TabsRoot::FormCreate(Sender);
  ShowCopies = false;
  Collate = true;
  Copies = 1;
  UseBackground = false;
  BackgroundBitmap = nullptr;
  DialogMode = 1;
}

void TabsLogo::FormShow(TObject* Sender) {
  TabsRoot::FormShow(Sender);
  if (UseBackground && BackgroundBitmap) dckLogo->SetBackground(BackgroundBitmap);
  btnExit->SetOpaque(true);
  if (auto* main = AsMainFrame(Application().MainForm())) {
    imgUserLogo->SetPicture(&main->DefaultLogo());
    btnKeldaraWebsite->SetVisible(true);
    btnKeldaraWebsite->SetEnabled(true);
    if (!LoggedInUserName().empty()) btnKeldaraWebsite->SetHint(Format(SWebsiteUserHint, {LoggedInUserName()}));
  } else if (auto* owner = AsMainFrame(Owner())) {
    imgUserLogo->SetPicture(&owner->DefaultLogo());
  }
}

void TabsLogo::btnExitClick(TObject*) { Close(); }

void TabsLogo::btnKeldaraWebsiteClick(TObject*) {
  if (auto* main = AsMainFrame(Application().MainForm())) main->OpenWebsite();
}
