// Cursor pictures from readable sources: the generator's binary form read back by LoadCursor, and
// sources or resources that are not cursors refused.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/rtl/Resources.h"
#include "platform/win/Cursors.h"

namespace fs = std::filesystem;

namespace {

// The compiled bytes of a source, empty when the generator refuses it.
std::vector<uint8_t> Compile(const std::string& text) {
  const fs::path dir = fs::temp_directory_path() / ("quorvex-cursor-" + std::to_string(::getpid()));
  fs::create_directories(dir / "CURSOR");
  const fs::path src = dir / "CURSOR/T.cursor", out = dir / "T.bin";
  std::ofstream(src, std::ios::binary) << text;
  const std::string cmd = std::string(QUORVEX_BINARY_DIR "/tools/resgen/resgen --compile ") + src.string() + " " +
                          out.string() + " 2>/dev/null";
  std::vector<uint8_t> bytes;
  if (std::system(cmd.c_str()) == 0) {
    std::ifstream in(out, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  fs::remove_all(dir);
  return bytes;
}

}  // namespace

TEST(CursorResource, CompiledPictureLoadsOnceByNameWithItsHotSpot) {
  // 33 pixels wide, so that each row is padded past one 32-bit word.
  static const std::vector<uint8_t> bytes =
      Compile("# test\nhotspot 32 1\n" + std::string(33, '.') + "\n" + std::string(31, '.') + "Xo\noX" +
              std::string(31, '.') + "\n");
  ASSERT_FALSE(bytes.empty());
  static TResourceRegistration reg("CURSOR", "TESTARROW", bytes.data(), bytes.size());
  static TResourceRegistration cut("CURSOR", "CUTSHORT", bytes.data(), bytes.size() - 1);
  const int handle = LoadCursor(0, "testarrow");
  ASSERT_GE(handle, FirstPictureCursor);
  EXPECT_EQ(LoadCursor(0, "TESTARROW"), handle);
  const TCursorImage* img = CursorImage(handle);
  ASSERT_NE(img, nullptr);
  EXPECT_EQ((std::vector<int>{img->Width, img->Height, img->HotX, img->HotY}), (std::vector<int>{33, 3, 32, 1}));
  const int pixels[][3] = {{0, 0, TCursorImage::Clear}, {31, 1, TCursorImage::Black}, {32, 1, TCursorImage::White},
                           {0, 2, TCursorImage::White}, {1, 2, TCursorImage::Black}, {32, 2, TCursorImage::Clear}};
  for (const auto& p : pixels) EXPECT_EQ(img->Pixels[p[1] * 33 + p[0]], p[2]) << p[0] << "," << p[1];

  EXPECT_EQ(CursorImage(IDC_ARROW), nullptr);
  EXPECT_EQ(LoadCursor(0, "NO_SUCH_CURSOR"), 0);
  EXPECT_EQ(LoadCursor(0, "CUTSHORT"), 0);
  const char* bad[] = {"X\n", "hotspot 2 0\nXX\n", "hotspot 0 1\nXX\n", "hotspot 0 0\nX.\nX\n", "hotspot 0 0\nXZ\n",
                       "hotspot 0 0\n", "hotspot 0 0 9\nX\n"};
  for (const char* text : bad) EXPECT_TRUE(Compile(text).empty()) << text;
}
