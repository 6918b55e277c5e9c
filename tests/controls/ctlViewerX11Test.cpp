// The viewer on a real X display, driven by xdotool: a click brings the caret, the wheel scrolls,
// keys and a mouse drag select (a button held below the text scrolls on), a search finds, and
// each copy reaches the X CLIPBOARD as xclip reads it; the pointer over the margin shows the line
// cursor as the server's cursor image.
#include <filesystem>
#include <fstream>
#include <memory>

#include "controls/ServerCursor.h"
#include "controls/ctlController.h"
#include "controls/ctlHelpers.h"
#include "controls/ctlViewer.h"
#include "platform/classlib/Forms.h"
#include "platform/classlib/WindowPump.h"
#include "platform/gdi/BmpFile.h"
#include "platform/win/Caret.h"
#include "platform/win/Cursors.h"
#include "platform/win/DisplayBackend.h"
#include "platform/win/WindowImage.h"
#include "platform/win/Windows.h"
#include "platform/win/X11Backend.h"
#include "platform/x11/XvfbSupport.h"

namespace {

class ViewerX11Test : public ::testing::Test {
protected:
  void SetUp() override {
    if (!ToolInstalled("Xvfb") || !ToolInstalled("xdotool") || !ToolInstalled("xclip"))
      GTEST_SKIP() << "Xvfb, xdotool and xclip are needed";
    FServer = std::make_unique<TXvfb>();
    ASSERT_FALSE(FServer->Display().empty()) << "Xvfb did not start";
    ResetWindowSystem();
    SetDisplayBackend(std::make_unique<TX11Backend>(FServer->Display().c_str()));
    UseWindowSystemPump();
    char tmpl[] = "/tmp/vwrx11XXXXXX";
    FDir = ::mkdtemp(tmpl);
  }
  void TearDown() override {
    FForm.reset();
    Application().SetMessagePump({});
    ResetWindowSystem();
    SetDisplayBackend(nullptr);
    FServer.reset();
    if (!FDir.empty()) std::filesystem::remove_all(FDir);
  }
  static std::function<void()> Pumper() {
    return [] { Application().ProcessMessages(); };
  }
  std::string Tool(const std::string& cmd) { return FServer->Run(cmd, Pumper()); }
  std::string Cell(int line, int col) {
    const TPoint p = FViewer->ClientToScreen(TPoint{FViewer->LeftMargin() + col * FViewer->CharWidth() + 4,
                                                    (line - FViewer->TopLine()) * FViewer->RowHeight() + 5});
    return std::to_string(p.X) + " " + std::to_string(p.Y);
  }
  void ShowViewer(const std::string& name) {
    FForm = std::make_unique<TForm>(nullptr);
    FForm->SetCaption("Quorvex viewer");
    FForm->SetBounds(60, 40, 420, 260);
    new TCtlController(FForm.get());
    FViewer = new TCtlTextFileViewer(FForm.get());
    FViewer->SetParent(FForm.get());
    FViewer->SetAlign(alClient);
    FViewer->SetFileName(name);
    FViewer->SetIsOpen(true);
    FForm->Show();
    ASSERT_TRUE(PumpUntil([&] { return !Tool("xdotool search --onlyvisible --name 'Quorvex viewer'").empty(); },
                          Pumper()));
  }
  // What another client reads from the CLIPBOARD selection.
  std::string Clipboard() { return Tool("xclip -o -selection clipboard"); }

  std::unique_ptr<TXvfb> FServer;
  std::unique_ptr<TForm> FForm;
  TCtlTextFileViewer* FViewer = nullptr;
  std::string FDir;
};

TEST_F(ViewerX11Test, ScrollSelectSearchAndCopy) {
  const std::string name = FDir + "/lines.txt";
  {
    std::ofstream out(name, std::ios::binary);
    for (int i = 0; i < 100; ++i) out << "line " << (i < 10 ? "00" : "0") << i << " alpha\tbeta\r\n";
  }
  ShowViewer(name);

  Tool("xdotool mousemove --sync " + Cell(0, 0) + " click 1");
  ASSERT_TRUE(PumpUntil([&] { return FViewer->Focused(); }, Pumper()));
  // The caret comes with the focus, in the clicked cell within the sunken edge.
  EXPECT_EQ(CaretWindow(), FViewer->Handle());
  EXPECT_EQ(GetCaretPos(), (TPoint{2 + FViewer->LeftMargin(), 2}));
  Tool("xdotool key shift+End ctrl+c");
  ASSERT_TRUE(PumpUntil([&] { return FViewer->HasSelection(); }, Pumper()));
  EXPECT_EQ(Clipboard(), "line 000 alpha\tbeta");

  Tool("xdotool click 5 click 5 click 5");
  ASSERT_TRUE(PumpUntil([&] { return FViewer->TopLine() == 3; }, Pumper())) << FViewer->TopLine();

  Tool("xdotool mousemove --sync " + Cell(4, 5) + " mousedown 1");
  Tool("xdotool mousemove --sync " + Cell(5, 4) + " mouseup 1");
  ASSERT_TRUE(PumpUntil([&] { return FViewer->SelEnd() == TVwrPos{5, 4}; }, Pumper()));
  Tool("xdotool key ctrl+c");
  EXPECT_EQ(Clipboard(), "004 alpha\tbeta\nline");  // X clients take LF line ends

  // Held below the text, the button goes on selecting and scrolling.
  const TPoint below = FViewer->ClientToScreen(TPoint{60, FViewer->Height() + 20});
  Tool("xdotool mousemove --sync " + Cell(FViewer->TopLine(), 0) + " mousedown 1");
  Tool("xdotool mousemove " + Cell(FViewer->TopLine() + 2, 3));
  Tool("xdotool mousemove " + std::to_string(below.X) + " " + std::to_string(below.Y));
  EXPECT_TRUE(PumpUntil([&] { return FViewer->TopLine() >= 20; }, Pumper())) << FViewer->TopLine();
  Tool("xdotool mouseup 1");
  EXPECT_EQ(FViewer->SelEnd().Line, FViewer->CaretPos().Line);
  EXPECT_GE(FViewer->CaretPos().Line, FViewer->RowsThatFit() + 19);

  ASSERT_TRUE(FViewer->Search("LINE 060", soWholeText));
  Application().ProcessMessages();
  EXPECT_LE(FViewer->TopLine(), 60);
  EXPECT_GT(FViewer->TopLine() + FViewer->RowsThatFit(), 60);
  Tool("xdotool key ctrl+c");
  EXPECT_EQ(Clipboard(), "line 060");

  Application().ProcessMessages();
  SavePngFile(GetWindowImage(FForm->Handle()), QUORVEX_BINARY_DIR "/viewer-x11.png");
}

TEST_F(ViewerX11Test, TheMarginShowsTheLineCursorOnTheServer) {
  const std::string name = FDir + "/short.txt";
  std::ofstream(name, std::ios::binary) << "one\r\ntwo\r\n";
  ShowViewer(name);
  const TCursorImage& line = *CursorImage(LoadCursorFromLibrary("CTLLINECURSOR"));
  const TPoint margin = FViewer->ClientToScreen(TPoint{6, 6});
  TServerCursor shown;
  auto showsLine = [&] {
    shown = ServerCursor(FServer->Display());
    return shown.Width == line.Width && shown.Height == line.Height && shown.HotX == line.HotX &&
           shown.HotY == line.HotY;
  };
  Tool("xdotool mousemove --sync " + std::to_string(margin.X) + " " + std::to_string(margin.Y));
  ASSERT_TRUE(PumpUntil(showsLine, Pumper())) << shown.Width << "x" << shown.Height << " hot " << shown.HotX;
  const unsigned long argb[] = {0, 0xFF000000ul, 0xFFFFFFFFul};  // clear, black, white
  for (size_t i = 0; i < line.Pixels.size(); ++i)
    ASSERT_EQ(shown.Argb[i] & 0xFFFFFFFFul, argb[line.Pixels[i]]) << "pixel " << i;
  Tool("xdotool mousemove --sync " + Cell(1, 2));
  EXPECT_TRUE(PumpUntil([&] { return !showsLine() && shown.Width > 0; }, Pumper()));
}

}  // namespace
