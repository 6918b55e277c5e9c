// The logo form: a dock along the top holding the logo toolbar with the user's logo, the Exit
// button and the maker's website button.
#pragma once

#include <vector>

#include "framework/forms/aRoot.h"
#include "platform/classlib/ExtCtrls.h"
#include "toolbars/tbDock.h"
#include "toolbars/tbToolbar.h"
#include "toolbars/tbToolbarButton.h"

// Sizes of the logo toolbar's parts.
constexpr int LogoImageWidth = 160;
constexpr int LogoImageHeight = 40;
constexpr int LogoButtonWidth = 56;
constexpr int LogoButtonHeight = 40;
// Room kept below the logo dock and right of the Exit button.
constexpr int LogoMinHeightExtra = 18;
constexpr int LogoMinWidthExtra = 8;

// The toolbar keeps its items in the order of their design positions: these place the items of the
// framework's forms around those a derived form adds in between.
constexpr int LogoOrderImage = 0;
constexpr int LogoOrderForm = 100;  // a derived form's own buttons start here
constexpr int LogoOrderPrint = 800;
constexpr int LogoOrderPrinterSelect = 810;
constexpr int LogoOrderWebsite = 900;
constexpr int LogoOrderExit = 1000;

// The name of the user logged in, shown in the website button's hint; empty in this program.
const AnsiString& LoggedInUserName();
void SetLoggedInUserName(const AnsiString& name);

// What the framework's forms ask of the program's main frame, which derives from them: its logo,
// the maker's website and the printer selection.
class TMainFrameServices {
public:
  virtual TPicture& DefaultLogo() = 0;
  virtual void OpenWebsite() = 0;
  // The printer dialog, modal; on OK the copies and collation come back and it returns true.
  virtual bool SelectPrinter(int orientationMode, bool showCopies, int& copies, bool& collate) = 0;

protected:
  ~TMainFrameServices() = default;
};
// The component as a main frame, or null when it is none.
TMainFrameServices* AsMainFrame(TComponent* component);

class TabsLogo : public TabsRoot {
public:
  explicit TabsLogo(TComponent* AOwner);
  ~TabsLogo() override;
  AnsiString ClassName() const override { return "TabsLogo"; }

  TtbDock* dckLogo = nullptr;
  TtbToolbar* tlbLogo = nullptr;
  TImage* imgUserLogo = nullptr;
  TtbToolbarButton* btnExit = nullptr;
  TtbToolbarButton* btnKeldaraWebsite = nullptr;

  bool ShowCopies = false;
  bool Collate = true;
  int Copies = 1;
  bool UseBackground = false;
  TBitmap* BackgroundBitmap = nullptr;  // not owned
  int DialogMode = 1;

  // Ends the building of the form's parts as loading form data would, then runs OnCreate.
  void AfterConstruction() override;

  void SetSizeConstraints() override;
  void FormCreate(TObject* Sender) override;
  void FormShow(TObject* Sender) override;

  void btnExitClick(TObject* Sender);
  void btnKeldaraWebsiteClick(TObject* Sender);

protected:
  // Puts a control on a toolbar at a design position that orders it among the others.
  void PlaceOnToolbar(TtbToolbar* toolbar, TControl* control, int order);
  // A button on a toolbar, at a design position that orders it among the others.
  TtbToolbarButton* AddToolbarButton(TtbToolbar* toolbar, const AnsiString& name, const AnsiString& caption,
                                     int order, int width, int height);
  // The bottom of a control and the right edge, in this form's client coordinates.
  int BottomInForm(TControl* control);
  int RightInForm(TControl* control);

private:
  struct TDesignPlace {
    TtbToolbar* Toolbar;
    TControl* Control;
    int Order;
  };
  bool FBuilt = false;
  std::vector<TDesignPlace> FDesignPlaces;
};
