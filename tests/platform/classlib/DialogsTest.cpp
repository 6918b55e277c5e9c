#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "DialogDriving.h"
#include "platform/classlib/Dialogs.h"
#include "platform/classlib/MessageBox.h"
#include "platform/classlib/Printers.h"
#include "platform/win/DisplayBackend.h"
#include "platform/win/Windows.h"

namespace {

namespace fs = std::filesystem;

class DialogsTest : public ::testing::Test {
protected:
  void SetUp() override {
    ResetWindowSystem();
    ResetInput();
    Application().Initialize();
  }
  void TearDown() override {
    EndDriving();
    Application().SetExceptionDisplay(nullptr);
    SetMessageBoxesReachUser(false);
    ResetWindowSystem();
    ResetInput();
  }
  static std::vector<AnsiString> LabelLines(TCustomForm& f) {
    std::vector<AnsiString> lines;
    for (TLabel* l : ControlsOf<TLabel>(f)) lines.push_back(l->Caption());
    return lines;
  }
};

TEST_F(DialogsTest, MessageBoxAnswersEnterWithTheDefaultAndEscapeWithCancel) {
  struct Case {
    TMsgDlgButtons buttons;
    int defaultButton;
    uint16_t key;
    TModalResult want;
  } cases[] = {
      {mbYesNoCancel, mbNo, VK_RETURN, mrNo},
      {mbYesNoCancel, mbNo, VK_ESCAPE, mrCancel},
      {mbYesNo, mbYes, VK_ESCAPE, mrNo},
      {mbOKOnly, mbOK, VK_ESCAPE, mrOk},
      {mbOKCancel, mbOK, VK_RETURN, mrOk},
      {mbAbortRetryIgnore, mbRetry, VK_RETURN, mrRetry},
  };
  for (const auto& c : cases) {
    WhenActive("TMessageForm", [&](TCustomForm&) { InjectKeyPress(c.key); });
    EXPECT_EQ(ShowMessageBox("Go on?", "", TMsgDlgType::mtConfirmation, c.buttons, c.defaultButton), c.want)
        << c.buttons << " key " << c.key;
  }
}

TEST_F(DialogsTest, MessageBoxShowsCaptionLinesAndButtons) {
  AnsiString caption;
  std::vector<AnsiString> lines, buttons;
  WhenActive("TMessageForm", [&](TCustomForm& f) {
    caption = f.Caption();
    lines = LabelLines(f);
    for (TButton* b : ControlsOf<TButton>(f)) buttons.push_back(b->Caption());
    // Tab moves to the next button; Enter presses the focused one.
    InjectKeyPress(VK_TAB);
    InjectKeyPress(VK_RETURN);
  });
  EXPECT_EQ(ShowMessageBox("Disk full\rFree some space\r\r", "", TMsgDlgType::mtWarning, mbYesNoCancel, mbYes), mrNo);
  EXPECT_EQ(caption, "Warning");
  EXPECT_EQ(lines, (std::vector<AnsiString>{"Disk full", "Free some space"}));
  EXPECT_EQ(buttons, (std::vector<AnsiString>{"&Yes", "&No", "Cancel"}));

  // A click answers too, and a caption given is used.
  WhenActive("TMessageForm", [&](TCustomForm& f) {
    caption = f.Caption();
    ClickControl(*ControlWithCaption<TButton>(f, "&Ignore"));
  });
  EXPECT_EQ(ShowMessageBox("Bad sector", "Reading", TMsgDlgType::mtError, mbAbortRetryIgnore, mbAbort), mrIgnore);
  EXPECT_EQ(caption, "Reading");
}

TEST_F(DialogsTest, MessageBoxWithoutCancelIgnoresEscapeAndClosing) {
  WhenActive("TMessageForm", [&](TCustomForm& f) {
    InjectKeyPress(VK_ESCAPE);
    WhenActive("TMessageForm", [&f](TCustomForm&) {
      f.Close();
      InjectKeyPress(VK_RETURN);
    });
  });
  EXPECT_EQ(ShowMessageBox("Bad sector", "", TMsgDlgType::mtError, mbAbortRetryIgnore, mbAbort), mrAbort);
  // Closing a Yes/No box answers No, as Escape does.
  WhenActive("TMessageForm", [&](TCustomForm& f) { f.Close(); });
  EXPECT_EQ(ShowMessageBox("Q", "", TMsgDlgType::mtConfirmation, mbYesNo, mbYes), mrNo);
}

TEST_F(DialogsTest, HandleExceptionShowsTheErrorBox) {
  SetMessageBoxesReachUser(true);
  AnsiString caption;
  std::vector<AnsiString> lines;
  int shown = 0;
  WhenActive("TMessageForm", [&](TCustomForm& f) {
    ++shown;
    caption = f.Caption();
    lines = LabelLines(f);
    InjectKeyPress(VK_RETURN);
  });
  Application().SetTitle("Quorvex");
  Application().HandleException(EInOutError("Unable to move file", 5));
  Application().SetTitle("");
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(caption, "Quorvex");
  EXPECT_EQ(lines, (std::vector<AnsiString>{"Unable to move file."}));
}

// A display whose input comes from outside the process: someone may be there to answer.
class TUserDisplay final : public TDisplayBackend {
public:
  bool BringsInput() const override { return true; }
  void WaitInput(int) override {}
  std::optional<AnsiString> ClipboardText() override { return std::nullopt; }
  void SetClipboardText(const std::optional<AnsiString>&) override {}
  TRect ScreenRect() const override { return TRect{0, 0, 800, 600}; }
  TRect WorkArea() const override { return ScreenRect(); }
};

TEST_F(DialogsTest, BoxesReachAUserWhereTheDisplayBringsInput) {
  EXPECT_FALSE(MessageBoxesReachUser());  // headless: nobody unless a test says so
  SetDisplayBackend(std::make_unique<TUserDisplay>());
  EXPECT_TRUE(MessageBoxesReachUser());
  SetDisplayBackend(nullptr);
  EXPECT_FALSE(MessageBoxesReachUser());
}

class OpenDialogTest : public DialogsTest {
protected:
  void SetUp() override {
    DialogsTest::SetUp();
    char tmpl[] = "/tmp/quorvex-open-XXXXXX";
    FDir = AnsiString(mkdtemp(tmpl)) + "/";
    for (const char* f : {"a.TXT", "b.hot", "c.txt", "d.zip", "sub/inner.txt"}) {
      fs::create_directories(fs::path(FDir + f).parent_path());
      std::ofstream(FDir + f) << "x";
    }
    FDialog.SetInitialDir(FDir);
    FDialog.SetFilter("Text files (*.txt;*.hot)|*.txt;*.hot|All files|*.*");
    FDialog.SetOptions(OpenOption(ofAllowMultiSelect) | OpenOption(ofPathMustExist) | OpenOption(ofFileMustExist));
    FDialog.SetDefaultExt("txt");
  }
  void TearDown() override {
    fs::remove_all(FDir);
    DialogsTest::TearDown();
  }
  std::vector<AnsiString> Files() const {
    std::vector<AnsiString> out;
    for (int i = 0; i < FDialog.Files().Count(); ++i) out.push_back(FDialog.Files()[i]);
    return out;
  }
  static std::vector<AnsiString> Listed(TCustomForm& f) {
    std::vector<AnsiString> out;
    TListBox* list = ControlsOf<TListBox>(f).at(0);
    for (int i = 0; i < list->Items().Count(); ++i) out.push_back(list->Items()[i]);
    return out;
  }
  AnsiString FDir;
  TOpenDialog FDialog{nullptr};
};

TEST_F(OpenDialogTest, TypedNamesPickTwoFilesInTheOrderGiven) {
  std::vector<AnsiString> listed;
  WhenActive("TOpenForm", [&](TCustomForm& f) {
    listed = Listed(f);
    TypeText("\"c\" \"b.hot\"");
    InjectKeyPress(VK_RETURN);
  });
  ASSERT_TRUE(FDialog.Execute());
  EXPECT_EQ(listed, (std::vector<AnsiString>{"../", "sub/", "a.TXT", "b.hot", "c.txt"}));
  EXPECT_EQ(Files(), (std::vector<AnsiString>{FDir + "c.txt", FDir + "b.hot"}));
  EXPECT_EQ(FDialog.FileName(), FDir + "c.txt");
}

TEST_F(OpenDialogTest, KeysInTheListPickTwoFilesInTheOrderChosen) {
  // Keys go where the focus is when they are pressed, so each move of the focus is its own step.
  AnsiString typed;
  WhenActive("TOpenForm", [&](TCustomForm&) {
    PressWith(VK_SHIFT, VK_TAB);  // from the name field back to the list
    WhenActive("TOpenForm", [&](TCustomForm& f) {
      InjectKeyPress(VK_END);  // c.txt
      PressWith(VK_CONTROL, VK_UP);
      PressWith(VK_CONTROL, VK_UP);  // the focus frame on a.TXT, c.txt still selected
      InjectKeyPress(VK_SPACE);
      WhenActive("TOpenForm", [&](TCustomForm&) {
        typed = ControlsOf<TEdit>(f).at(0)->Text();
        InjectKeyPress(VK_RETURN);
      });
    });
  });
  ASSERT_TRUE(FDialog.Execute());
  EXPECT_EQ(typed, "\"c.txt\" \"a.TXT\"");
  EXPECT_EQ(Files(), (std::vector<AnsiString>{FDir + "c.txt", FDir + "a.TXT"}));
}

TEST_F(OpenDialogTest, FoldersOpenByTypedNameAndTheFilterChanges) {
  std::vector<AnsiString> inSub, allFiles;
  WhenActive("TOpenForm", [&](TCustomForm& f) {
    TypeText("sub");
    InjectKeyPress(VK_RETURN);
    WhenActive("TOpenForm", [&](TCustomForm&) {
      inSub = Listed(f);
      TypeText("..");
      InjectKeyPress(VK_RETURN);
      InjectKeyPress(VK_TAB);  // to the file types
      WhenActive("TOpenForm", [&](TCustomForm&) {
        InjectKeyPress(VK_DOWN);
        PressWith(VK_SHIFT, VK_TAB);
        WhenActive("TOpenForm", [&](TCustomForm&) {
          allFiles = Listed(f);
          TypeText("d");
          InjectKeyPress(VK_RETURN);
        });
      });
    });
  });
  FDialog.SetDefaultExt("zip");
  FDialog.SetOptions(OpenOption(ofFileMustExist));
  ASSERT_TRUE(FDialog.Execute());
  EXPECT_EQ(inSub, (std::vector<AnsiString>{"../", "inner.txt"}));
  EXPECT_EQ(allFiles, (std::vector<AnsiString>{"../", "sub/", "a.TXT", "b.hot", "c.txt", "d.zip"}));
  EXPECT_EQ(Files(), (std::vector<AnsiString>{FDir + "d.zip"}));
  EXPECT_EQ(FDialog.FilterIndex(), 2);
}

TEST_F(OpenDialogTest, EnterOnAFolderInTheListOpensIt) {
  std::vector<AnsiString> inSub;
  AnsiString folderShown, nameAfterOpening = "unset";
  WhenActive("TOpenForm", [&](TCustomForm&) {
    PressWith(VK_SHIFT, VK_TAB);
    WhenActive("TOpenForm", [&](TCustomForm& f) {
      InjectKeyPress(VK_END);  // c.txt goes into the name field
      InjectKeyPress(VK_HOME);
      InjectKeyPress(VK_DOWN);  // sub/
      InjectKeyPress(VK_RETURN);
      WhenActive("TOpenForm", [&](TCustomForm&) {
        nameAfterOpening = ControlsOf<TEdit>(f).at(0)->Text();
        inSub = Listed(f);
        folderShown = ControlsOf<TLabel>(f).at(1)->Caption();
        InjectKeyPress(VK_DOWN);  // nothing was selected in the new folder: "../" first
        InjectKeyPress(VK_DOWN);  // inner.txt, which goes into the name field
        InjectKeyPress(VK_RETURN);
      });
    });
  });
  FDialog.SetOptions(OpenOption(ofFileMustExist));
  ASSERT_TRUE(FDialog.Execute());
  EXPECT_EQ(inSub, (std::vector<AnsiString>{"../", "inner.txt"}));
  EXPECT_EQ(folderShown, FDir + "sub/");
  EXPECT_EQ(nameAfterOpening, "");  // the name picked in the folder left behind is gone
  EXPECT_EQ(Files(), (std::vector<AnsiString>{FDir + "sub/inner.txt"}));
}

TEST_F(OpenDialogTest, AMissingFileIsReportedAndCancelChoosesNothing) {
  std::vector<AnsiString> warning;
  WhenActive("TOpenForm", [&](TCustomForm&) {
    TypeText("nothere.txt");
    WhenActive("TMessageForm", [&](TCustomForm& box) {
      warning = LabelLines(box);
      InjectKeyPress(VK_RETURN);
      WhenActive("TOpenForm", [](TCustomForm&) { InjectKeyPress(VK_ESCAPE); });
    });
    InjectKeyPress(VK_RETURN);
  });
  FDialog.SetFileName("/kept/name.txt");
  EXPECT_FALSE(FDialog.Execute());
  ASSERT_FALSE(warning.empty());
  EXPECT_EQ(warning[0], "nothere.txt");
  EXPECT_EQ(FDialog.FileName(), "/kept/name.txt");
  EXPECT_EQ(FDialog.Files().Count(), 0);
}

class PrinterSetupTest : public DialogsTest {
protected:
  void SetUp() override {
    DialogsTest::SetUp();
    FOld = SetPrinter(std::make_unique<TPrinter>([] { return TPrinterQueues{{"laser", "office", "plotter"}, 0}; }));
  }
  void TearDown() override {
    SetPrinter(std::move(FOld));
    DialogsTest::TearDown();
  }
  std::unique_ptr<TPrinter> FOld;
};

TEST_F(PrinterSetupTest, ChoosesPrinterOrientationAndCopies) {
  std::vector<AnsiString> names;
  WhenActive("TPrinterSetupForm", [&](TCustomForm& f) {
    TComboBox* printers = ControlsOf<TComboBox>(f).at(0);
    for (int i = 0; i < printers->Items().Count(); ++i) names.push_back(printers->Items()[i]);
    InjectKeyPress(VK_DOWN);  // office
    ClickControl(*ControlWithCaption<TRadioButton>(f, "&Landscape"));
    PressWith(VK_MENU, 'C');  // the copies field, its text selected
    WhenActive("TPrinterSetupForm", [](TCustomForm&) {
      TypeText("3");
      InjectKeyPress(VK_RETURN);
    });
  });
  TPrinterSetupDialog dialog(nullptr);
  ASSERT_TRUE(dialog.Execute());
  EXPECT_EQ(names, (std::vector<AnsiString>{"laser", "office", "plotter"}));
  EXPECT_EQ(Printer().PrinterName(), "office");
  EXPECT_EQ(Printer().Orientation(), poLandscape);
  EXPECT_EQ(Printer().Copies(), 3);
}

TEST_F(PrinterSetupTest, BadCopiesChangeNothing) {
  std::vector<AnsiString> warning;
  WhenActive("TPrinterSetupForm", [&](TCustomForm&) {
    InjectKeyPress(VK_DOWN);
    PressWith(VK_MENU, 'C');
    WhenActive("TPrinterSetupForm", [&](TCustomForm&) {
      TypeText("0");
      WhenActive("TMessageForm", [&](TCustomForm& box) {
        warning = LabelLines(box);
        InjectKeyPress(VK_RETURN);
        WhenActive("TPrinterSetupForm", [](TCustomForm&) { InjectKeyPress(VK_ESCAPE); });
      });
      InjectKeyPress(VK_RETURN);
    });
  });
  TPrinterSetupDialog dialog(nullptr);
  EXPECT_FALSE(dialog.Execute());
  EXPECT_EQ(warning, (std::vector<AnsiString>{"The number of copies must be a whole number from 1 to 999."}));
  EXPECT_EQ(Printer().PrinterName(), "laser");
  EXPECT_EQ(Printer().Copies(), 1);
}

}  // namespace
