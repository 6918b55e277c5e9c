// The root form of every window: geometry settings, minimum size, default position, keeping the form
// on the screen, right-click help, the option file and the caption prefix.
#pragma once

#include <memory>

#include "controls/ctlIniStore.h"
#include "controls/ctlUserData.h"
#include "platform/gdi/GdiTypes.h"
#include "platform/rtl/AnsiString.h"
#include "platform/classlib/Forms.h"
#include "toolbars/tbTiledImage.h"

// Smallest size of a root form before a derived form sets its own.
constexpr int RootMinHeight = 18;
constexpr int RootMinWidth = 8;

// Item names of the form geometry in the form's settings section.
struct TFormGeometryItems {
  AnsiString Top = "Top";
  AnsiString Height = "Height";
  AnsiString Left = "Left";
  AnsiString Width = "Width";
};

// Module settings of the option file; false and empty in this program.
bool UseExeDirForOptions();
void SetUseExeDirForOptions(bool value);
const AnsiString& OptionFolder();
void SetOptionFolder(const AnsiString& folder);

// Centre of the screen for a form of the minimum size, halves truncated toward zero.
TPoint RootDefaultPosition(int screenWidth, int screenHeight, int minWidth, int minHeight);

// A sizeable form larger than the area shrinks to it; then the form moves up and left until its
// bottom and right edges are inside, but never past the area's top and left edges.
TRect KeepBoundsOnScreen(const TRect& bounds, const TRect& area, bool sizeable);

// Geometry read from an open store: a sizeable form takes the stored size, never below the minimum;
// the position defaults to the given one.
TRect LoadFormGeometry(TCtlAbstractStore& store, const AnsiString& section, const TFormGeometryItems& items,
                       const TRect& current, bool sizeable, TSize minimum, TPoint defaultPosition);
// Writes Top and Left, and for a sizeable form Height and Width, into an open store.
void SaveFormGeometry(TCtlAbstractStore& store, const AnsiString& section, const TFormGeometryItems& items,
                      const TRect& bounds, bool sizeable);

// The option file a form's store is pointed at, from the program file's name; the file is first
// filled from an ini copy beside it when missing. False when the store keeps its own file name.
struct TOptionFileChoice {
  AnsiString FileName;  // for the store
  bool UseExeDir = false;
};
bool ChooseOptionFile(const AnsiString& exeName, TOptionFileChoice& choice);

// The warning shown when the geometry cannot be written to the option file at path.
AnsiString OptionFileWriteWarning(const AnsiString& path);

// The help context a right-click on control opens, on a form whose own context is formContext.
int RootHelpContextFor(const TControl* control, int formContext);

// The base of every window. Derived forms chain the handlers: the base's first in create and
// show, last in destroy. A derived form calls BeforeDestruction at the start of its destructor.
class TabsRoot : public TForm {
public:
  explicit TabsRoot(TComponent* AOwner);
  ~TabsRoot() override;
  AnsiString ClassName() const override { return "TabsRoot"; }

  // Published members of the form data.
  TCtlIniFileStore* iniForm = nullptr;
  TtbTiledImage* tilBackground = nullptr;
  bool bSaveFormSettings = false;
  AnsiString sIniSection;

  TFormGeometryItems GeometryItems;
  int DefaultLeft = 0;
  int DefaultTop = 0;
  bool SettingsSaved = false;
  bool FormClosed = false;

  // The virtual operations, in the order derived forms know them.
  virtual void SetSizeConstraints();
  virtual void ComputeDefaultPosition();
  virtual void LoadFormSettings();
  virtual void SaveFormSettings();
  virtual void ReservedHookA() {}
  virtual void ReservedHookB() {}
  // Moves the form's top-left corner to the mouse message's point, given in control's client area.
  virtual void PlaceAtControl(TControl* control, const TMessage* mouseMessage);

  virtual void FormCreate(TObject* Sender);
  virtual void FormShow(TObject* Sender);
  virtual void FormClose(TObject* Sender, TCloseAction& Action);
  virtual void FormDestroy(TObject* Sender);
  // Shared by controls of derived forms: a right-click opens help for the control.
  void MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);

  void KeepOnScreen();
  void SetPrefixedCaption(const AnsiString& text);
  bool Sizeable() const { return BorderStyle() == bsSizeable || BorderStyle() == bsSizeToolWin; }
  // The form's own mask characters, from creation until it is freed.
  TCtlUserData* UserData() const { return FUserData.get(); }

protected:
  void WndProc(TMessage& Message) override;

private:
  // Writes the geometry; true when it went to the file.
  bool saveGeometry();

  std::unique_ptr<TCtlUserData> FUserData;
};
