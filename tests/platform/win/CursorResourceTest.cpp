// Cursor pictures from readable sources: the generator's binary form read back by LoadCursor, and
// sources or resources that are not cursors refused.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "platform/rtl/Resources.h"
#include "platform/win/Cursors.h"

namespace fs = std::filesystem;

namespace {

const fs::path kResgen = fs::path(QUORVEX_BINARY_DIR) / "tools/resgen/resgen";

struct TCursorSources {
  fs::path Dir;
  TCursorSources() {
    char tmpl[] = "/tmp/quorvex-cursor-XXXXXX";
    Dir = ::mkdtemp(tmpl);
    fs::create_directories(Dir / "CURSOR");
  }
  ~TCursorSources() { fs::remove_all(Dir); }
  // The compiled bytes, or nullptr when the generator refuses the source. They stay alive for the
  // process, as registered resources must.
  const std::vector<uint8_t>* Compile(const std::string& name, const std::string& text) {
    static std::vector<std::unique_ptr<std::vector<uint8_t>>> keep;
    const fs::path src = Dir / "CURSOR" / (name + ".cursor"), out = src.string() + ".bin";
    std::ofstream(src, std::ios::binary) << text;
    const std::string cmd = kResgen.string() + " --compile " + src.string() + " " + out.string() + " 2>/dev/null";
    if (std::system(cmd.c_str()) != 0) return nullptr;
    std::ifstream in(out, std::ios::binary);
    keep.push_back(std::make_unique<std::vector<uint8_t>>(std::istreambuf_iterator<char>(in),
                                                          std::istreambuf_iterator<char>()));
    return keep.back().get();
  }
};

}  // namespace

TEST(CursorResource, PictureRoundTripsWithItsHotSpot) {
  TCursorSources src;
  // 33 pixels wide, so that rows need padding past one 32-bit word.
  const std::string wide(33, '.');
  const auto* bytes = src.Compile("TESTARROW", "# test\nhotspot 32 1\n" + wide + "\n" + std::string(31, '.') + "Xo\n" +
                                                   "oX" + std::string(31, '.') + "\n");
  ASSERT_NE(bytes, nullptr);
  static TResourceRegistration reg("CURSOR", "TESTARROW", bytes->data(), bytes->size());
  const int handle = LoadCursor(0, "testarrow");
  ASSERT_GE(handle, FirstPictureCursor);
  EXPECT_FALSE(IsSystemCursor(handle));
  EXPECT_EQ(LoadCursor(7, "TESTARROW"), handle);  // one handle per name
  const TCursorImage* img = CursorImage(handle);
  ASSERT_NE(img, nullptr);
  EXPECT_EQ(img->Width, 33);
  EXPECT_EQ(img->Height, 3);
  EXPECT_EQ(img->HotX, 32);
  EXPECT_EQ(img->HotY, 1);
  struct {
    int X, Y;
    TCursorImage::TPixel Pixel;
  } cases[] = {{0, 0, TCursorImage::Clear}, {31, 1, TCursorImage::Black}, {32, 1, TCursorImage::White},
               {0, 2, TCursorImage::White}, {1, 2, TCursorImage::Black}, {32, 2, TCursorImage::Clear}};
  for (const auto& c : cases) EXPECT_EQ(img->Pixels[c.Y * img->Width + c.X], c.Pixel) << c.X << "," << c.Y;
  EXPECT_EQ(CursorImage(IDC_ARROW), nullptr);
  EXPECT_EQ(LoadCursor(0, IDC_ARROW), IDC_ARROW);
}

TEST(CursorResource, BadSourcesAndResourcesAreRefused) {
  TCursorSources src;
  const char* bad[] = {"X\n", "hotspot 1\nXX\n", "hotspot 2 0\nXX\n", "hotspot 0 1\nXX\n", "hotspot 0 0\nX.\nX\n",
                       "hotspot 0 0\nXZ\n", "hotspot 0 0\n", "hotspot 0 0 9\nX\n"};
  int n = 0;
  for (const char* text : bad) EXPECT_EQ(src.Compile("BAD" + std::to_string(n++), text), nullptr) << text;

  EXPECT_EQ(LoadCursor(0, "NO_SUCH_CURSOR"), 0);
  const auto* good = src.Compile("CUT", "hotspot 0 0\nX\n");
  ASSERT_NE(good, nullptr);
  // Cut short inside the masks, and with a hot spot moved off the picture.
  static TResourceRegistration cut("CURSOR", "CUTSHORT", good->data(), good->size() - 1);
  static std::vector<uint8_t> offPicture = [&] {
    std::vector<uint8_t> b = *good;
    b[0] = 1;
    return b;
  }();
  static TResourceRegistration off("CURSOR", "OFFPICTURE", offPicture.data(), offPicture.size());
  EXPECT_EQ(LoadCursor(0, "CUTSHORT"), 0);
  EXPECT_EQ(LoadCursor(0, "OFFPICTURE"), 0);
}
