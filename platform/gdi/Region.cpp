#include "platform/gdi/Region.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace {

// Spans of one band of a region at row y, or empty.
const std::vector<int>* SpansAt(const auto& bands, int y) {
  for (const auto& b : bands)
    if (y >= b.Top && y < b.Bottom) return &b.Spans;
  return nullptr;
}

bool Inside(const std::vector<int>* spans, int x) {
  if (!spans) return false;
  for (size_t i = 0; i + 1 < spans->size(); i += 2)
    if (x >= (*spans)[i] && x < (*spans)[i + 1]) return true;
  return false;
}

bool Apply(int mode, bool a, bool b) {
  switch (mode) {
    case RGN_AND: return a && b;
    case RGN_OR: return a || b;
    case RGN_XOR: return a != b;
    case RGN_DIFF: return a && !b;
    default: return a;
  }
}

std::vector<int> CombineSpans(const std::vector<int>* a, const std::vector<int>* b, int mode) {
  std::vector<int> xs;
  if (a) xs.insert(xs.end(), a->begin(), a->end());
  if (b) xs.insert(xs.end(), b->begin(), b->end());
  std::sort(xs.begin(), xs.end());
  xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
  std::vector<int> out;
  for (size_t i = 0; i + 1 < xs.size(); ++i) {
    bool in = Apply(mode, Inside(a, xs[i]), Inside(b, xs[i]));
    if (!in) continue;
    if (!out.empty() && out.back() == xs[i]) out.back() = xs[i + 1];
    else { out.push_back(xs[i]); out.push_back(xs[i + 1]); }
  }
  return out;
}

}  // namespace

TRegion::TRegion(const TRect& r) {
  if (!r.IsEmpty()) FBands.push_back(Band{r.Top, r.Bottom, {r.Left, r.Right}});
}

TRegion TRegion::FromPolygon(const std::vector<TPoint>& pts, int fillMode) {
  TRegion rgn;
  if (pts.size() < 3) return rgn;
  int minY = pts[0].Y, maxY = pts[0].Y;
  for (auto& p : pts) { minY = std::min(minY, p.Y); maxY = std::max(maxY, p.Y); }
  for (int y = minY; y < maxY; ++y) {
    double cy = y + 0.5;
    std::vector<std::pair<double, int>> cross;  // x, direction
    for (size_t i = 0; i < pts.size(); ++i) {
      TPoint p = pts[i], q = pts[(i + 1) % pts.size()];
      if (p.Y == q.Y) continue;
      double y0 = p.Y, y1 = q.Y;
      if ((cy < std::min(y0, y1)) || (cy >= std::max(y0, y1))) continue;
      double x = p.X + (cy - y0) * (q.X - p.X) / (y1 - y0);
      cross.push_back({x, q.Y > p.Y ? 1 : -1});
    }
    std::sort(cross.begin(), cross.end());
    std::vector<int> spans;
    int winding = 0;
    for (size_t i = 0; i + 1 < cross.size(); ++i) {
      winding += cross[i].second;
      bool in = fillMode == WINDING ? winding != 0 : (i % 2 == 0);
      if (!in) continue;
      // Pixel x is inside when its centre x + 0.5 lies between the crossings.
      int l = int(std::ceil(cross[i].first - 0.5));
      int r = int(std::ceil(cross[i + 1].first - 0.5));
      if (r <= l) continue;
      if (!spans.empty() && spans.back() >= l) spans.back() = std::max(spans.back(), r);
      else { spans.push_back(l); spans.push_back(r); }
    }
    if (!spans.empty()) rgn.FBands.push_back(Band{y, y + 1, spans});
  }
  rgn.Normalize();
  return rgn;
}

void TRegion::Normalize() {
  std::vector<Band> out;
  for (auto& b : FBands) {
    if (b.Spans.empty() || b.Bottom <= b.Top) continue;
    if (!out.empty() && out.back().Bottom == b.Top && out.back().Spans == b.Spans) out.back().Bottom = b.Bottom;
    else out.push_back(b);
  }
  FBands = std::move(out);
}

int TRegion::Combine(const TRegion& a, const TRegion& b, int mode) {
  if (mode < RGN_AND || mode > RGN_COPY) return RGN_ERROR;
  if (mode == RGN_COPY) {
    TRegion copy = a;
    *this = std::move(copy);
    return Kind();
  }
  std::set<int> ys;
  for (auto& band : a.FBands) { ys.insert(band.Top); ys.insert(band.Bottom); }
  for (auto& band : b.FBands) { ys.insert(band.Top); ys.insert(band.Bottom); }
  std::vector<int> edges(ys.begin(), ys.end());
  std::vector<Band> result;
  for (size_t i = 0; i + 1 < edges.size(); ++i) {
    auto spans = CombineSpans(SpansAt(a.FBands, edges[i]), SpansAt(b.FBands, edges[i]), mode);
    if (!spans.empty()) result.push_back(Band{edges[i], edges[i + 1], std::move(spans)});
  }
  FBands = std::move(result);
  Normalize();
  return Kind();
}

int TRegion::Kind() const {
  if (FBands.empty()) return NULLREGION;
  return (FBands.size() == 1 && FBands[0].Spans.size() == 2) ? SIMPLEREGION : COMPLEXREGION;
}

bool TRegion::Contains(int x, int y) const { return Inside(SpansAt(FBands, y), x); }

bool TRegion::RectInRegion(const TRect& r) const {
  TRegion probe(r), common;
  return common.Combine(*this, probe, RGN_AND) != NULLREGION;
}

TRect TRegion::Bounds() const {
  if (FBands.empty()) return TRect{};
  TRect r{FBands.front().Spans.front(), FBands.front().Top, FBands.front().Spans.back(), FBands.back().Bottom};
  for (auto& b : FBands) {
    r.Left = std::min(r.Left, b.Spans.front());
    r.Right = std::max(r.Right, b.Spans.back());
  }
  return r;
}

void TRegion::Offset(int dx, int dy) {
  for (auto& b : FBands) {
    b.Top += dy;
    b.Bottom += dy;
    for (auto& x : b.Spans) x += dx;
  }
}

std::vector<TRect> TRegion::Rects() const {
  std::vector<TRect> out;
  for (auto& b : FBands)
    for (size_t i = 0; i + 1 < b.Spans.size(); i += 2) out.push_back(TRect{b.Spans[i], b.Top, b.Spans[i + 1], b.Bottom});
  return out;
}
