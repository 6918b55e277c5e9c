// Fuzz target for the HOT road: the record reader started as the program starts it, the viewer set
// as the main window sets it (tabs expanded, tab size 8), the code lists built from memo lines, and
// the splitter over the file. The input's first line is the airline memo and its second the agent
// memo, their lines separated by commas; the rest is the file to split.
#include <unistd.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "core/uHotFileLines.h"
#include "core/uHotSplitter.h"
#include "core/uSplitRequest.h"
#include "fuzz/FuzzSupport.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/StringList.h"

namespace {

std::string_view TakeLine(std::string_view& rest) {
  const std::size_t end = rest.find('\n');
  const std::string_view line = rest.substr(0, end);
  rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
  return line;
}

TStringList MemoLines(std::string_view text) {
  TStringList lines;
  for (std::size_t at = 0;;) {
    const std::size_t comma = text.find(',', at);
    lines.Add(AnsiString(text.substr(at, comma == std::string_view::npos ? text.npos : comma - at)));
    if (comma == std::string_view::npos) break;
    at = comma + 1;
  }
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string dir = [] {
    char tmpl[] = "/tmp/fuzz_hot_split_XXXXXX";
    CreateGlobalHotFileLine();
    return std::string(mkdtemp(tmpl));
  }();
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  const TStringList tacns = MemoLines(TakeLine(rest));
  const TStringList agtns = MemoLines(TakeLine(rest));
  const std::string path = dir + "/H.txt";
  if (!WriteFuzzInput(path, rest.data(), rest.size())) return 0;
  TCtlTextFileViewer viewer;
  viewer.SetExpandTabs(true);
  viewer.SetTabSize(8);
  THotSplitter splitter(viewer);
  splitter.SetAirlineList(TSplitRequest::BuildCodeList(&tacns, ValidAirlineCode, 3));
  splitter.SetAgentList(TSplitRequest::BuildCodeList(&agtns, ValidAgentCode, 7));
  CheckCodeList(splitter.AirlineList(), 3);
  CheckCodeList(splitter.AgentList(), 7);
  const std::string output = dir + "/Split_H.txt";
  ::unlink(output.c_str());
  bool split = false;
  try {
    splitter.SplitOneFile(path);
    split = true;
  } catch (const Exception&) {
  }
  // A refused file leaves no result; a split one leaves a whole one.
  if (FileExists(output) != split) __builtin_trap();
  if (viewer.IsOpen()) __builtin_trap();
  return 0;
}
