// The compressor's entry points. Streams cross as the run-time's stream objects and are used
// only through their virtual reads, writes and seeks, so the library needs none of the
// run-time's code. The format is zlib's; each call compresses or expands the whole source.
#include <zlib.h>

#include <cstdint>
#include <vector>

#include "platform/rtl/Streams.h"

#define XBC_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

int Level = Z_DEFAULT_COMPRESSION;
constexpr size_t Piece = 16384;

std::vector<uint8_t> WholeSource(TStream* source) {
  std::vector<uint8_t> data;
  source->Seek(0, soFromBeginning);
  uint8_t buf[Piece];
  for (int64_t n; (n = source->Read(buf, sizeof buf)) > 0;) data.insert(data.end(), buf, buf + n);
  return data;
}

// Runs deflate or inflate over the whole input, handing each piece of output to dest as it is made,
// so an expansion never sits in memory twice. False when the input is not a whole stream or dest
// takes fewer bytes than it is given (a destination that caps what it holds stops the work there).
template <class Step>
bool Pump(z_stream& z, const std::vector<uint8_t>& in, TStream* dest, Step step) {
  z.next_in = const_cast<Bytef*>(in.data());
  z.avail_in = static_cast<uInt>(in.size());
  uint8_t out[Piece];
  for (;;) {
    z.next_out = out;
    z.avail_out = sizeof out;
    int r = step(z);
    int64_t made = static_cast<int64_t>(sizeof out - z.avail_out);
    if (made > 0 && dest->Write(out, made) != made) return false;
    if (r == Z_STREAM_END) return true;
    if (r != Z_OK && !(r == Z_BUF_ERROR && made)) return false;
  }
}

// Leaves dest as it was before a failed run.
template <class Step>
void Run(z_stream& z, TStream* source, TStream* dest, Step step) {
  std::vector<uint8_t> in = WholeSource(source);
  int64_t start = dest->Position();
  if (!Pump(z, in, dest, step)) {
    dest->SetSize(start);
    dest->Seek(start, soFromBeginning);
  }
}

}  // namespace

XBC_EXPORT void CompressStream(TStream* source, TStream* dest) {
  if (!source || !dest) return;
  z_stream z{};
  if (deflateInit(&z, Level) != Z_OK) return;
  Run(z, source, dest, [](z_stream& s) { return deflate(&s, Z_FINISH); });
  deflateEnd(&z);
}

// Adds nothing to dest unless the whole input is one valid stream that dest takes in full.
XBC_EXPORT void UnCompressStream(TStream* source, TStream* dest) {
  if (!source || !dest) return;
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return;
  Run(z, source, dest, [](z_stream& s) { return inflate(&s, Z_NO_FLUSH); });
  inflateEnd(&z);
}

XBC_EXPORT void SetCompressionPassword(const char*) {}

XBC_EXPORT void SetCompressionLevel(int32_t level) {
  Level = level >= 0 && level <= 9 ? level : Z_DEFAULT_COMPRESSION;
}
