// Fuzz target for the archive writer with a password: what it writes reads back exactly with the
// right password and fails as a wrong password with any other. The first byte chooses the method
// and the deflation, the second the password's length; the password follows, then up to three
// files separated by 0xFF bytes.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/rtl/Files.h"
#include "platform/rtl/Streams.h"
#include "zip/engine/ZpExceptions.h"
#include "zip/engine/ZpUnzipItem.h"
#include "zip/engine/ZpZDecoder.h"
#include "zip/engine/ZpZipArchive.h"
#include "zip/engine/ZpZipKit.h"

namespace {

void Write(const std::string& path, const std::string& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) __builtin_trap();
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

// Every item of the archive with the password: its bytes, or a wrong-password failure.
std::vector<std::string> ReadBack(const std::string& zip, const std::string& password, std::size_t& wrongPassword) {
  std::vector<std::string> items;
  wrongPassword = 0;
  TZpZipArchive archive(zip, fmOpenRead | fmShareDenyWrite);
  archive.SetPassword(password);
  archive.SetPasswordRetries(1);
  archive.Load();
  for (int i = 0; i < archive.Count(); ++i) {
    TMemoryStream out;
    try {
      ZpExtractToStream(archive, *archive.ZipItems(i), &out);
    } catch (const EZpZipInvalidPassword&) {
      ++wrongPassword;
      items.emplace_back();
      continue;
    }
    std::string bytes(std::size_t(out.Size()), '\0');
    out.SetPosition(0);
    if (!bytes.empty()) out.ReadBuffer(bytes.data(), int64_t(bytes.size()));
    items.push_back(bytes);
  }
  return items;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string dir = [] {
    char tmpl[] = "/tmp/fuzz_zip_writer_XXXXXX";
    return std::string(mkdtemp(tmpl)) + "/";
  }();
  if (size < 2) return 0;
  // The encryption header's random bytes are fixed, so that every finding comes back.
  ZpSetCryptSeed(size);
  const uint8_t choice = data[0];
  const std::size_t passwordLength = std::min<std::size_t>(data[1] % 32, size - 2);
  const std::string password(reinterpret_cast<const char*>(data) + 2, passwordLength);
  std::string rest(reinterpret_cast<const char*>(data) + 2 + passwordLength, size - 2 - passwordLength);
  std::vector<std::string> files;
  for (std::size_t at = 0; files.size() < 3;) {
    const std::size_t end = rest.find('\xFF', at);
    files.push_back(rest.substr(at, end == std::string::npos ? std::string::npos : end - at));
    if (end == std::string::npos) break;
    at = end + 1;
  }
  std::filesystem::remove_all(dir + "in");
  std::filesystem::create_directories(dir + "in");
  const std::string zip = dir + "out.zip";
  ::unlink(zip.c_str());
  for (std::size_t i = 0; i < files.size(); ++i) Write(dir + "in/f" + std::to_string(i), files[i]);
  {
    TZpZipKit kit(nullptr);
    kit.SetAutoSave(false);
    kit.SetCompressionMethodToUse(TZpZipSupportedMethod(choice % 3));
    kit.SetDeflationOption(TZpZipDeflationOption(1 + (choice / 3) % 4));
    kit.SetStoreOptions(soStripDrive | soStripPath | soRemoveDots);
    kit.SetPassword(password);
    kit.SetFileName(zip);
    for (std::size_t i = 0; i < files.size(); ++i) kit.AddFilesByMask(dir + "in/f" + std::to_string(i), 0);
    kit.SaveArchive();
    kit.CloseArchive();
  }
  std::size_t wrong = 0;
  const std::vector<std::string> back = ReadBack(zip, password, wrong);
  if (wrong != 0 || back != files) __builtin_trap();
  if (!password.empty()) {
    // An empty item has nothing past its check byte to catch a wrong password with; its
    // content is right all the same.
    std::size_t empty = 0;
    for (const std::string& f : files) empty += f.empty();
    const std::vector<std::string> noise = ReadBack(zip, password + "?", wrong);
    if (wrong + empty < files.size()) __builtin_trap();
    for (std::size_t i = 0; i < noise.size(); ++i)
      if (!noise[i].empty() && noise[i] != files[i]) __builtin_trap();
  }
  return 0;
}
