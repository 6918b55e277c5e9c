// Fuzz target for the archive reader: load, list, test and extract every item of an input.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/rtl/Files.h"
#include "platform/rtl/Streams.h"
#include "zip/engine/ZpUnzipItem.h"
#include "zip/engine/ZpZipArchive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string dir = [] {
    char tmpl[] = "/tmp/fuzz_zip_reader_XXXXXX";
    return std::string(mkdtemp(tmpl));
  }();
  const std::string path = dir + "/in.zip";
  {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  try {
    TZpZipArchive archive(path, fmOpenRead | fmShareDenyWrite);
    archive.SetBaseDirectory(dir);
    archive.SetPassword("pw");
    archive.SetPasswordRetries(1);
    archive.TestHelper = ZpTestItem;
    archive.Load();
    for (int i = 0; i < archive.Count() && i < 64; ++i) {
      archive.TestItemAt(i);
      TMemoryStream out;
      try {
        ZpExtractToStream(archive, *archive.ZipItems(i), &out);
      } catch (const Exception&) {
      }
      // Names are made safe here; every result must stay a relative path.
      AnsiString safe = ZpSafeExtractName(archive.ZipItems(i)->FileName());
      if (!safe.empty() && safe[0] == '/') __builtin_trap();
      for (std::size_t at = 0; at <= safe.size();) {
        std::size_t end = safe.find('/', at);
        if (end == AnsiString::npos) end = safe.size();
        if (safe.compare(at, end - at, "..") == 0 && end - at == 2) __builtin_trap();
        at = end + 1;
      }
    }
  } catch (const Exception&) {
  }
  return 0;
}
