// The main-window frame: the optional bitmaps beside the program file, the user mask characters,
// the entry-field controller, the timer pool, the hyperlink to the maker's website, the open
// dialog, the table environment, the spreadsheet component, and the printer selection that every form of the program asks through it.
#pragma once

#include <functional>
#include <memory>

#include "controls/ctlController.h"
#include "controls/ctlTimerPool.h"
#include "controls/ctlURL.h"
#include "controls/ctlUserData.h"
#include "framework/forms/aPanel.h"
#include "office/OxExcel.h"
#include "tables/xbEnv.h"

// The maker's web address behind the website button.
constexpr const char* KeldaraWebAddress = "https://www.keldara.example/";

// The three optional bitmaps beside the program file: the logo, the background and the skin.
struct TMainBitmapFiles {
  AnsiString Logo;
  AnsiString Background;
  AnsiString Skin;
};
TMainBitmapFiles MainBitmapFiles(const AnsiString& exeName);
// The report template's name in the temporary folder, from the program file's name.
AnsiString ReportTemplateName(const AnsiString& tempFolder, const AnsiString& exeName);
// The forms' own mask characters: "1" to "8" of the first set, "1" and "4" of the second.
void DefineMainMaskCharacters(TCtlUserData& first, TCtlUserData& second);

class TabsMain : public TabsPanel, public TMainFrameServices {
public:
  explicit TabsMain(TComponent* AOwner);
  ~TabsMain() override;
  AnsiString ClassName() const override { return "TabsMain"; }

  TImage* imgDefault = nullptr;
  TCtlURL* urlKeldara = nullptr;
  TCtlController* ctlDefault = nullptr;
  TCtlTimerPool* tmpMain = nullptr;
  TOpenDialog* dlgOpenFiles = nullptr;
  TXbEnv* envMain = nullptr;
  TOxExcel* xlaOp = nullptr;

  AnsiString ReportTemplateFile;

  virtual bool ReturnsTrueHook() { return true; }

  void FormCreate(TObject* Sender) override;
  void FormShow(TObject* Sender) override;
  void FormDestroy(TObject* Sender) override;

  TPicture& DefaultLogo() override { return imgDefault->Picture(); }
  void OpenWebsite() override { urlKeldara->Click(); }
  bool SelectPrinter(int orientationMode, bool showCopies, int& copies, bool& collate) override;

  TBitmap* Background() const { return FBackground.get(); }
  TBitmap* Skin() const { return FSkin.get(); }
  // The first set lives on the library's user data, which every picture field reads.
  TCtlUserData* MaskData1() const { return &CtlUserData(); }
  TCtlUserData* MaskData2() const { return FMaskData2.get(); }

private:
  // Loads one optional bitmap; a file that is there but cannot be read is reported and skipped.
  void loadOptionalBitmap(const AnsiString& fileName, const std::function<void(const AnsiString&)>& load);

  std::unique_ptr<TBitmap> FBackground;
  std::unique_ptr<TBitmap> FSkin;
  std::unique_ptr<TCtlUserData> FMaskData2;
};
