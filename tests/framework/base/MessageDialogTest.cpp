#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <utility>

#include "framework/base/uMessageDialog.h"
#include "platform/classlib/DialogDriving.h"
#include "platform/classlib/MessageBox.h"
#include "platform/win/Windows.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Regional.h"

namespace {

namespace fs = std::filesystem;

class MessageDialog : public ::testing::Test {
protected:
  void SetUp() override {
    char tmpl[] = "/tmp/quorvex-msg-XXXXXX";
    FDir = mkdtemp(tmpl);
    FSavedSettings = FormatSettings();
  }
  void TearDown() override {
    SetCollectMessages(false);
    ClearCollectedMessages();
    SetFatalMessageSeen(false);
    ResetMessageLogging();
    SetMessageSuffix("");
    SetMessageBoxHook({});
    FormatSettings() = FSavedSettings;
    fs::remove_all(FDir);
  }
  AnsiString File(const char* name) const { return (FDir / name).string(); }
  static AnsiString ReadAll(const AnsiString& name) {
    std::ifstream in(name, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }

  fs::path FDir;
  TFormatSettings FSavedSettings;
};

TEST_F(MessageDialog, UnattendedAnswerFollowsTheDefaultButtonWhenOffered) {
  struct {
    TMsgDlgButtons Buttons;
    int Default;
    int Answer;
    const char* Name;
  } cases[] = {
      {mbYesNo, mbOK, mrYes, "Yes"},          // default not offered: first of the fixed order
      {mbOKCancel, mbCancel, mrCancel, "Cancel"},
      {mbYesNoCancel, mbNo, mrNo, "No"},
      {mbAbortRetryIgnore, 16, mrIgnore, "Ignore"},  // above 15 is never offered
      {MsgButton(mbHelp), mbHelp, mrNone, "None"},
      {MsgButton(mbHelp), mbOK, mrNone, "None"},
      {MsgButton(mbNoToAll) | MsgButton(mbYesToAll), mbOK, mrYesToAll, "Yes to All"},
      {MsgButton(mbAll) | MsgButton(mbNo), mbOK, mrAll, "All"},
  };
  SetCollectMessages(true);
  for (const auto& c : cases) {
    ClearCollectedMessages();
    EXPECT_EQ(ShowMessageDialog("Disk full", TMsgDlgType::mtWarning, c.Buttons, 7, c.Default), c.Answer) << c.Name;
    ASSERT_EQ(CollectedMessages().Count(), 1);
    EXPECT_EQ(CollectedMessages()[0], AnsiString("Disk full : ") + c.Name);
    auto* err = static_cast<const TQslError*>(CollectedMessages().Objects(0));
    ASSERT_NE(err, nullptr);
    EXPECT_EQ(err->HelpContext(), 7);
    EXPECT_FALSE(err->Fatal());
  }
  EXPECT_FALSE(FatalMessageSeen());
  ShowMessageDialog("Gone", TMsgDlgType::mtError, mbOKOnly, 0, mbOK, true);
  EXPECT_TRUE(FatalMessageSeen());
  EXPECT_TRUE(static_cast<const TQslError*>(CollectedMessages().Objects(1))->Fatal());
  ClearCollectedMessages();
  EXPECT_EQ(CollectedMessages().Count(), 0);
}

// The answers must be the ones the box's own buttons give, for every button and none beyond them.
TEST(MessageDialogButtons, EachButtonGivesItsModalResult) {
  const std::pair<int, int> cases[] = {
      {mbYes, mrYes},       {mbNo, mrNo},         {mbOK, mrOk},       {mbCancel, mrCancel},
      {mbAbort, mrAbort},   {mbRetry, mrRetry},   {mbIgnore, mrIgnore}, {mbAll, mrAll},
      {mbNoToAll, mrNoToAll}, {mbYesToAll, mrYesToAll}, {mbHelp, mrNone}, {-1, mrNone},
      {kMsgDlgButtonCount, mrNone}, {16, mrNone}};
  for (auto [button, result] : cases) EXPECT_EQ(ButtonModalResult(button), result) << button;
}

TEST_F(MessageDialog, CollectingWinsOverLoggingAndNeverShowsTheBox) {
  int shown = 0;
  SetMessageBoxHook([&](const AnsiString&, TMsgDlgType, TMsgDlgButtons, int32_t) { return ++shown, mrNo; });
  SetCollectMessages(true);
  SetLogMessages(true);
  SetMessageLogFile(File("log.txt"));
  EXPECT_EQ(ShowMessageDialog("Q", TMsgDlgType::mtConfirmation, mbYesNo), mrYes);
  EXPECT_EQ(shown, 0);
  EXPECT_FALSE(fs::exists(File("log.txt")));
  EXPECT_EQ(CollectedMessages().Count(), 1);
}

TEST_F(MessageDialog, LoggingAppendsDatedLines) {
  SetLogMessages(true);
  SetMessageLogFile(File("log.txt"));
  SetMessageLogPrefix("BATCH");
  EXPECT_EQ(ShowMessageDialog("Disk full", TMsgDlgType::mtWarning, mbOKOnly), mrOk);
  EXPECT_EQ(ShowMessageDialog("Help only", TMsgDlgType::mtWarning, MsgButton(mbHelp)), mrNone);
  const std::string log = ReadAll(File("log.txt"));
  const std::regex want(
      "\\d{1,2}/\\d{1,2}/\\d{4} at \\d{1,2}:\\d{2} (AM|PM) : BATCH : Disk full : Ok\r\n"
      "\\d{1,2}/\\d{1,2}/\\d{4} at \\d{1,2}:\\d{2} (AM|PM) : BATCH : Help only : None\r\n");
  EXPECT_TRUE(std::regex_match(log, want)) << log;

  // Logging needs a file name; without one the unattended answer still comes back.
  ResetMessageLogging();
  EXPECT_FALSE(LogMessages());
  EXPECT_EQ(MessageLogFile(), "");
  EXPECT_EQ(MessageLogPrefix(), "");
  SetLogMessages(true);
  EXPECT_EQ(ShowMessageDialog("x", TMsgDlgType::mtWarning, mbYesNo), mrYes);
}

TEST_F(MessageDialog, LogLinesFollowTheRegionalShortFormats) {
  FormatSettings().ShortDateFormat = "yyyy/MM/dd";
  FormatSettings().DateSeparator = '-';
  FormatSettings().ShortTimeFormat = "hh:mm";
  FormatSettings().TimeSeparator = '.';
  AppendLogLine(File("a.csv"), "text", true);
  AppendLogLine(File("a.csv"), "more", false);
  const std::string log = ReadAll(File("a.csv"));
  EXPECT_TRUE(std::regex_match(log, std::regex("\\d{4}-\\d{2}-\\d{2},\\d{2}\\.\\d{2},text\r\n"
                                               "\\d{4}-\\d{2}-\\d{2} at \\d{2}\\.\\d{2} : more\r\n")))
      << log;
}

TEST_F(MessageDialog, InteractiveBoxGetsTheTextAndSuffix) {
  AnsiString shownText;
  TMsgDlgButtons shownButtons = 0;
  int32_t shownHelp = 0;
  SetMessageBoxHook([&](const AnsiString& text, TMsgDlgType, TMsgDlgButtons buttons, int32_t help) {
    shownText = text;
    shownButtons = buttons;
    shownHelp = help;
    return mrNo;
  });
  EXPECT_EQ(ShowMessageDialog("Overwrite?", TMsgDlgType::mtConfirmation, mbYesNo, 42), mrNo);
  EXPECT_EQ(shownText, "Overwrite?\r\r");
  EXPECT_EQ(shownButtons, mbYesNo);
  EXPECT_EQ(shownHelp, 42);
  SetMessageSuffix("Call support");
  ShowMessageDialog("Overwrite?", TMsgDlgType::mtConfirmation, mbYesNo);
  EXPECT_EQ(shownText, "Overwrite?\r\rCall support");
  EXPECT_EQ(LastDialogMessage(), "Overwrite?");

  // Without a box nobody can answer: the unattended rule does.
  SetMessageBoxHook({});
  EXPECT_EQ(ShowMessageDialog("Overwrite?", TMsgDlgType::mtConfirmation, mbOKCancel, 0, mbCancel), mrCancel);
}

TEST_F(MessageDialog, AppendLineToFileWritesTheHeaderOnlyOnCreation) {
  const AnsiString name = File("out.txt");
  AppendLineToFile(name, "first", true, "HEADER");
  AppendLineToFile(name, "second", true, "HEADER");
  AppendLineToFile(name, "tail", false);
  EXPECT_EQ(ReadAll(name), "HEADER\r\nfirst\r\nsecond\r\ntail");
  AppendLineToFile("  ", "ignored", true);
  EXPECT_THROW(AppendLineToFile(File("missing/x.txt"), "x", true), EInOutError);
}

TEST_F(MessageDialog, SafeFormatReportsABadFormatAndKeepsTheTarget) {
  SetCollectMessages(true);
  AnsiString target = "kept";
  EXPECT_FALSE(SafeFormat(target, "%d", {"text"}));
  EXPECT_EQ(target, "kept");
  ASSERT_EQ(CollectedMessages().Count(), 1);
  const AnsiString& msg = CollectedMessages()[0];
  EXPECT_NE(msg.find("\r%d\rPlease email EXACT details of this message to Keldara at\r "), AnsiString::npos) << msg;
  EXPECT_EQ(msg.substr(msg.size() - 5), " : Ok");

  EXPECT_TRUE(SafeFormat(target, "%s-%d", {"a", 5}));
  EXPECT_EQ(target, "a-5");
  EXPECT_EQ(CollectedMessages().Count(), 1);
}

// The class library's box is the default: it shows the text with the suffix, offers the default
// button to Enter and Cancel to Escape; the unattended modes still never show it.
TEST_F(MessageDialog, WithoutAHookTheClassLibraryBoxAnswers) {
  ResetWindowSystem();
  Application().Initialize();
  SetMessageBoxesReachUser(true);
  SetMessageSuffix("Call support");
  std::vector<AnsiString> lines;
  AnsiString caption;
  WhenActive("TMessageForm", [&](TCustomForm& f) {
    caption = f.Caption();
    for (TLabel* l : ControlsOf<TLabel>(f)) lines.push_back(l->Caption());
    InjectKeyPress(VK_RETURN);
  });
  EXPECT_EQ(ShowMessageDialog("Overwrite?", TMsgDlgType::mtConfirmation, mbYesNoCancel, 0, mbNo), mrNo);
  EXPECT_EQ(caption, "Confirm");
  EXPECT_EQ(lines, (std::vector<AnsiString>{"Overwrite?", "", "Call support"}));

  WhenActive("TMessageForm", [](TCustomForm&) { InjectKeyPress(VK_ESCAPE); });
  EXPECT_EQ(ShowMessageDialog("Overwrite?", TMsgDlgType::mtConfirmation, mbYesNoCancel, 0, mbNo), mrCancel);

  SetCollectMessages(true);
  EXPECT_EQ(ShowMessageDialog("Quiet", TMsgDlgType::mtWarning, mbOKCancel, 0, mbCancel), mrCancel);
  EXPECT_EQ(Screen().FormCount(), 0);

  EndDriving();
  SetMessageBoxesReachUser(false);
  ResetWindowSystem();
}

}  // namespace
