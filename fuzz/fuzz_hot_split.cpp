// Fuzz target for the HOT road's reader: the viewer loads any bytes as lines, every line is
// fetched, and the splitter runs over them.
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <string>

#include "core/uHotSplitter.h"
#include "platform/rtl/Exceptions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string dir = [] {
    char tmpl[] = "/tmp/fuzz_hot_split_XXXXXX";
    return std::string(mkdtemp(tmpl));
  }();
  const std::string path = dir + "/H.txt";
  {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  TCtlTextFileViewer viewer;
  viewer.SetFileName(path);
  viewer.SetIsOpen(true);
  char line[1024];
  for (int i = 0, last = viewer.ClampLine(INT_MAX); i <= last; ++i) viewer.FetchDisplayLine(i, line, 1023);
  viewer.SetIsOpen(false);
  THotSplitter splitter(viewer);
  splitter.SetAgentList("1234567");
  try {
    ::unlink((dir + "/Split_H.txt").c_str());
    splitter.SplitOneFile(path);
  } catch (const Exception&) {
  }
  return 0;
}
