#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/classlib/FileDialogModel.h"
#include "platform/classlib/MessageLayout.h"

namespace {

namespace fs = std::filesystem;

class FileDialogModel : public ::testing::Test {
protected:
  void SetUp() override {
    char tmpl[] = "/tmp/quorvex-dlg-XXXXXX";
    FDir = AnsiString(mkdtemp(tmpl)) + "/";
    for (const char* f : {"a.TXT", "b.hot", "c.txt", "d.zip", "readme", "sub/inner.txt"}) Touch(f);
    fs::create_directory(FDir + "Empty");
  }
  void TearDown() override { fs::remove_all(FDir); }
  void Touch(const AnsiString& name) {
    fs::create_directories(fs::path(FDir + name).parent_path());
    std::ofstream(FDir + name) << "x";
  }
  static std::vector<AnsiString> Names(const std::vector<TFolderEntry>& entries) {
    std::vector<AnsiString> out;
    for (const auto& e : entries) out.push_back(e.IsFolder ? e.Name + "/" : e.Name);
    return out;
  }
  AnsiString FDir;
  TFileDialogModel FModel;
};

TEST(FileFilter, ParsesDescriptionsAndMaskLists) {
  auto items = ParseFileFilter("Text files (*.txt;*.hot)|*.txt; *.hot|All files|*.*");
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].Description, "Text files (*.txt;*.hot)");
  EXPECT_EQ(items[0].Masks, (std::vector<AnsiString>{"*.txt", "*.hot"}));
  EXPECT_EQ(items[1].Masks, (std::vector<AnsiString>{"*.*"}));
  EXPECT_TRUE(ParseFileFilter("").empty());
  // A trailing description without masks uses its text as the mask.
  auto odd = ParseFileFilter("Zip Files|*.zip|*.hot");
  ASSERT_EQ(odd.size(), 2u);
  EXPECT_EQ(odd[1].Masks, (std::vector<AnsiString>{"*.hot"}));
}

TEST(FileFilter, MasksMatchInAnyLetterCase) {
  const std::vector<AnsiString> masks{"*.txt", "*.hot"};
  struct Case { const char* name; bool match; } cases[] = {
      {"a.TXT", true}, {"b.Hot", true}, {"c.txtx", false}, {"txt", false}, {"d.zip", false}};
  for (const auto& c : cases) EXPECT_EQ(MatchesAnyMask(c.name, masks), c.match) << c.name;
  EXPECT_TRUE(MatchesAnyMask("readme", {"*.*"}));
  EXPECT_FALSE(MatchesAnyMask("readme", {}));
}

TEST(FileFilter, TypedNamesSplitAndJoin) {
  EXPECT_EQ(SplitTypedNames("  a file.txt "), (std::vector<AnsiString>{"a file.txt"}));
  EXPECT_EQ(SplitTypedNames("\"a b.txt\" \"c.txt\" d.txt"), (std::vector<AnsiString>{"a b.txt", "c.txt", "d.txt"}));
  EXPECT_EQ(SplitTypedNames("\"open.txt"), (std::vector<AnsiString>{"open.txt"}));
  EXPECT_TRUE(SplitTypedNames(" \"\" ").empty());
  EXPECT_EQ(JoinTypedNames({"one.txt"}), "one.txt");
  EXPECT_EQ(JoinTypedNames({"c.txt", "a.txt"}), "\"c.txt\" \"a.txt\"");
  EXPECT_EQ(SplitTypedNames(JoinTypedNames({"c d.txt", "a.txt"})), (std::vector<AnsiString>{"c d.txt", "a.txt"}));
}

TEST(FileFilter, PickOrderKeepsTheFirstPickedFirst) {
  std::vector<AnsiString> order = KeepPickOrder({}, {"c"});
  order = KeepPickOrder(order, {"a", "c"});
  EXPECT_EQ(order, (std::vector<AnsiString>{"c", "a"}));
  order = KeepPickOrder(order, {"a", "b", "c"});
  EXPECT_EQ(order, (std::vector<AnsiString>{"c", "a", "b"}));
  order = KeepPickOrder(order, {"b"});
  EXPECT_EQ(order, (std::vector<AnsiString>{"b"}));
}

TEST(FileFilter, PathsResolveAgainstTheFolder) {
  EXPECT_EQ(ResolvePath("/w/x/", "a.txt"), "/w/x/a.txt");
  EXPECT_EQ(ResolvePath("/w/x/", "../y/./a.txt"), "/w/y/a.txt");
  EXPECT_EQ(ResolvePath("/w/x/", "/abs/b"), "/abs/b");
  EXPECT_EQ(ResolvePath("/w/", "../../.."), "/");
  EXPECT_EQ(ResolvePath("/w/", "sub/"), "/w/sub/");
}

TEST_F(FileDialogModel, ListsFoldersFirstThenMatchingFiles) {
  ASSERT_TRUE(FModel.SetFolder(FDir));
  FModel.SetFilter("Text files (*.txt;*.hot)|*.txt;*.hot|All files|*.*");
  EXPECT_EQ(Names(FModel.Entries()), (std::vector<AnsiString>{"../", "Empty/", "sub/", "a.TXT", "b.hot", "c.txt"}));
  FModel.SetFilterIndex(2);
  EXPECT_EQ(Names(FModel.Entries()).size(), 8u);
  FModel.SetFilterIndex(7);  // outside the filter: the first choice
  EXPECT_EQ(FModel.FilterIndex(), 1);
  EXPECT_FALSE(FModel.SetFolder("nowhere"));
  EXPECT_EQ(FModel.Folder(), FDir);
}

TEST_F(FileDialogModel, TypedFoldersAndMasksNavigate) {
  FModel.SetFolder(FDir);
  FModel.SetFilter("Zip Files|*.zip|any file|*.*");
  EXPECT_EQ(FModel.Accept("sub", 0, "").Kind, TOpenOutcome::okFolderChanged);
  EXPECT_EQ(FModel.Folder(), FDir + "sub/");
  EXPECT_EQ(Names(FModel.Entries()), (std::vector<AnsiString>{"../"}));
  EXPECT_EQ(FModel.Accept("..", 0, "").Kind, TOpenOutcome::okFolderChanged);
  EXPECT_EQ(FModel.Folder(), FDir);
  EXPECT_EQ(FModel.Accept("sub/*.TXT", 0, "").Kind, TOpenOutcome::okMaskChanged);
  EXPECT_EQ(Names(FModel.Entries()), (std::vector<AnsiString>{"../", "inner.txt"}));
  EXPECT_TRUE(FModel.GoUp());
  FModel.SetFilterIndex(1);  // choosing a filter drops the typed mask
  EXPECT_EQ(Names(FModel.Entries()), (std::vector<AnsiString>{"../", "Empty/", "sub/", "d.zip"}));
  EXPECT_EQ(FModel.Accept("nowhere/*.txt", 0, "").Kind, TOpenOutcome::okRejected);
  EXPECT_EQ(FModel.Accept("   ", 0, "").Kind, TOpenOutcome::okNothing);
}

TEST_F(FileDialogModel, ChosenFilesKeepTheirOrderAndPassTheChecks) {
  FModel.SetFolder(FDir);
  const TOpenOptions must = OpenOption(ofPathMustExist) | OpenOption(ofFileMustExist);
  const TOpenOptions multi = must | OpenOption(ofAllowMultiSelect);
  auto two = FModel.Accept("\"c.txt\" \"a.TXT\" \"c.txt\"", multi, "zip");
  ASSERT_EQ(two.Kind, TOpenOutcome::okChosen);
  EXPECT_EQ(two.Files, (std::vector<AnsiString>{FDir + "c.txt", FDir + "a.TXT"}));
  EXPECT_EQ(FModel.Accept("\"c.txt\" \"a.TXT\"", must, "").Kind, TOpenOutcome::okRejected);

  struct Case { const char* typed; TOpenOptions options; TOpenOutcome::TKind kind; AnsiString file; } cases[] = {
      {"d", must, TOpenOutcome::okChosen, "d.zip"},          // default extension added
      {"readme", must, TOpenOutcome::okChosen, "readme"},    // a bare name that exists stays bare
      {"a.txt", must, TOpenOutcome::okRejected, ""},          // names are exact
      {"new", 0, TOpenOutcome::okChosen, "new.zip"},          // nothing must exist
      {"gone/new", 0, TOpenOutcome::okChosen, "gone/new.zip"},
      {"gone/new", OpenOption(ofPathMustExist), TOpenOutcome::okRejected, ""},
      {"new", OpenOption(ofPathMustExist), TOpenOutcome::okChosen, "new.zip"},
      {"sub/inner.txt", must, TOpenOutcome::okChosen, "sub/inner.txt"},
  };
  for (const auto& c : cases) {
    TOpenOutcome o = FModel.Accept(c.typed, c.options, "zip");
    EXPECT_EQ(o.Kind, c.kind) << c.typed;
    if (c.kind == TOpenOutcome::okChosen) EXPECT_EQ(o.Files, (std::vector<AnsiString>{FDir + c.file})) << c.typed;
    else EXPECT_NE(o.Message.find(c.typed), AnsiString::npos) << o.Message;
  }
  EXPECT_EQ(FModel.Folder(), FDir);  // checks never move the folder
}

TTextMeasure SixPixels() { return {[](std::string_view s) { return static_cast<int>(s.size()) * 6; }, 13}; }

TEST(MessageLayout, LinesBreakAtCarriageReturnsAndWrap) {
  EXPECT_EQ(SplitMessageLines("one\rtwo\r\nthree\n\rfour\r\r"),
            (std::vector<AnsiString>{"one", "two", "three", "", "four"}));
  EXPECT_TRUE(SplitMessageLines("\r\r").empty());
  EXPECT_EQ(WrapMessageLine("aaa bbb ccc", 42, SixPixels()), (std::vector<AnsiString>{"aaa bbb", "ccc"}));
  EXPECT_EQ(WrapMessageLine("abcdefghij", 24, SixPixels()), (std::vector<AnsiString>{"abcd", "efgh", "ij"}));
  auto l = LayoutMessageBox("First line\rSecond\r\r", TMsgDlgType::mtWarning, mbOKOnly, mbOK, SixPixels(), 300);
  EXPECT_EQ(l.Lines, (std::vector<AnsiString>{"First line", "Second"}));
  EXPECT_TRUE(l.HasIcon);
  EXPECT_EQ(l.TextBounds.Width(), 60);
}

TEST(MessageLayout, ButtonSetsDefaultsAndEscape) {
  struct Case {
    TMsgDlgButtons buttons;
    int defaultButton;
    std::vector<TModalResult> results;
    TModalResult enter, escape;
  } cases[] = {
      {mbOKOnly, mbOK, {mrOk}, mrOk, mrOk},
      {mbOKCancel, mbCancel, {mrOk, mrCancel}, mrCancel, mrCancel},
      {mbYesNo, mbOK, {mrYes, mrNo}, mrYes, mrNo},  // a default not offered: the first button
      {mbYesNoCancel, mbNo, {mrYes, mrNo, mrCancel}, mrNo, mrCancel},
      {mbAbortRetryIgnore, mbRetry, {mrAbort, mrRetry, mrIgnore}, mrRetry, mrNone},
      {mbOKOnly | MsgButton(mbHelp), 99, {mrOk, mrNone}, mrOk, mrOk},
      {0, mbOK, {mrOk}, mrOk, mrOk},                      // nobody could close a box without buttons
      {MsgButton(mbHelp), mbHelp, {mrOk, mrNone}, mrNone, mrOk},
      {MsgButton(mbYesToAll) | MsgButton(mbNoToAll) | MsgButton(mbAll), mbAll, {mrAll, mrNoToAll, mrYesToAll}, mrAll, mrNone},
  };
  for (const auto& c : cases) {
    auto l = LayoutMessageBox("Q", TMsgDlgType::mtConfirmation, c.buttons, c.defaultButton, SixPixels(), 300);
    std::vector<TModalResult> results;
    for (const auto& b : l.Buttons) results.push_back(b.Result);
    EXPECT_EQ(results, c.results) << c.buttons;
    ASSERT_GE(l.DefaultIndex, 0);
    EXPECT_EQ(l.Buttons[l.DefaultIndex].Result, c.enter) << c.buttons;
    EXPECT_EQ(l.CancelIndex < 0 ? mrNone : l.Buttons[l.CancelIndex].Result, c.escape) << c.buttons;
    // Buttons sit in one row inside the box, none overlapping.
    for (std::size_t i = 1; i < l.Buttons.size(); ++i) EXPECT_LT(l.Buttons[i - 1].Bounds.Right, l.Buttons[i].Bounds.Left);
    EXPECT_GE(l.Buttons.front().Bounds.Left, 0);
    EXPECT_LE(l.Buttons.back().Bounds.Right, l.ClientSize.cx);
    EXPECT_LE(l.Buttons.back().Bounds.Bottom, l.ClientSize.cy);
  }
}

}  // namespace
