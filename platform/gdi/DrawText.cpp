#include "platform/gdi/DrawText.h"

#include <vector>

namespace {

constexpr std::string_view Ellipsis = "...";

struct Line {
  AnsiString Text;
  int Underline = -1;  // index of the character underlined by a prefix
};

// Removes prefix marks; the position of the last single "&" is where the underline goes.
Line StripPrefix(std::string_view s, unsigned format) {
  Line line;
  if (format & DT_NOPREFIX) {
    line.Text = AnsiString(s);
    return line;
  }
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '&' && i + 1 < s.size()) {
      ++i;
      if (s[i] != '&' && !(format & DT_HIDEPREFIX)) line.Underline = int(line.Text.size());
    } else if (s[i] == '&') {
      continue;  // a trailing single mark shows nothing
    }
    line.Text += s[i];
  }
  return line;
}

AnsiString ExpandTabs(std::string_view s, unsigned format) {
  int size = (format & DT_TABSTOP) ? int((format >> 8) & 0xFF) : 8;
  if (size <= 0) size = 8;
  AnsiString out;
  for (char c : s) {
    if (c == '\t') {
      do out += ' '; while (out.size() % size != 0);
    } else {
      out += c;
    }
  }
  return out;
}

std::vector<AnsiString> SplitLines(std::string_view text) {
  std::vector<AnsiString> lines(1);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      lines.emplace_back();
    } else {
      lines.back() += text[i];
    }
  }
  return lines;
}

// Breaks one line at spaces to fit width; a word wider than the line stands alone unless
// the edit-control rule breaks it between characters.
void WrapLine(TFontFace& face, const Line& src, int width, bool breakWords, std::vector<Line>& out) {
  const AnsiString& s = src.Text;
  size_t start = 0;
  while (true) {
    if (face.TextWidth(std::string_view(s).substr(start)) <= width || start >= s.size()) {
      Line l{s.substr(start), src.Underline >= int(start) ? src.Underline - int(start) : -1};
      out.push_back(l);
      return;
    }
    size_t end = start, lastBreak = std::string::npos;
    int w = 0;
    while (end < s.size()) {
      int a = face.Advance(AnsiCharToUnicode(s[end]));
      if (s[end] == ' ') lastBreak = end;
      if (w + a > width && end > start) break;
      w += a;
      ++end;
    }
    size_t cut, next;
    if (lastBreak != std::string::npos && lastBreak > start) {
      cut = lastBreak;
      next = lastBreak;
    } else if (breakWords) {
      cut = next = end;
    } else {
      size_t sp = s.find(' ', end);
      cut = next = sp == std::string::npos ? s.size() : sp;
    }
    while (next < s.size() && s[next] == ' ') ++next;
    int u = src.Underline;
    out.push_back(Line{s.substr(start, cut - start), (u >= int(start) && u < int(cut)) ? u - int(start) : -1});
    if (next >= s.size()) return;
    // The rest keeps its underline relative to the new start.
    Line rest{s.substr(next), u >= int(next) ? u - int(next) : -1};
    WrapLine(face, rest, width, breakWords, out);
    return;
  }
}

void EndEllipsis(TFontFace& face, Line& line, int width) {
  if (face.TextWidth(line.Text) <= width) return;
  int room = width - face.TextWidth(Ellipsis);
  size_t keep = 0;
  int w = 0;
  while (keep < line.Text.size()) {
    int a = face.Advance(AnsiCharToUnicode(line.Text[keep]));
    if (w + a > room) break;
    w += a;
    ++keep;
  }
  line.Text = line.Text.substr(0, keep) + AnsiString(Ellipsis);
  if (line.Underline >= int(keep)) line.Underline = -1;
}

}  // namespace

int DrawText(TDeviceContext& dc, std::string_view text, TRect& rect, unsigned format) {
  TFontFace& face = dc.Face();
  const TTextMetric& tm = face.Metrics();
  int lineHeight = tm.Height + ((format & DT_EXTERNALLEADING) ? tm.ExternalLeading : 0);
  int width = rect.Width();

  std::vector<Line> lines;
  std::vector<AnsiString> raw;
  if (format & DT_SINGLELINE) raw.push_back(AnsiString(text));
  else raw = SplitLines(text);
  for (auto& r : raw) {
    Line l = StripPrefix((format & DT_EXPANDTABS) ? ExpandTabs(r, format) : r, format);
    if ((format & DT_WORDBREAK) && !(format & DT_SINGLELINE)) WrapLine(face, l, width, format & DT_EDITCONTROL, lines);
    else lines.push_back(l);
  }
  if (format & (DT_END_ELLIPSIS | DT_WORD_ELLIPSIS | DT_PATH_ELLIPSIS))
    for (auto& l : lines) EndEllipsis(face, l, width);

  int total = lineHeight * int(lines.size());
  if (format & DT_CALCRECT) {
    int maxWidth = 0;
    for (auto& l : lines) maxWidth = std::max(maxWidth, face.TextWidth(l.Text));
    rect.Right = rect.Left + maxWidth;
    rect.Bottom = rect.Top + total;
    return total;
  }

  int y = rect.Top;
  if (format & DT_SINGLELINE) {
    if (format & DT_VCENTER) y = rect.Top + (rect.Height() - lineHeight) / 2;
    else if (format & DT_BOTTOM) y = rect.Bottom - lineHeight;
  }
  unsigned oldAlign = dc.SetTextAlign(TA_LEFT | TA_TOP);
  unsigned options = (format & DT_NOCLIP) ? 0 : ETO_CLIPPED;
  for (auto& l : lines) {
    int lw = face.TextWidth(l.Text);
    int x = rect.Left;
    if (format & DT_CENTER) x = rect.Left + (width - lw) / 2;
    else if (format & DT_RIGHT) x = rect.Right - lw;
    if (!(format & DT_PREFIXONLY)) dc.ExtTextOut(x, y, options, &rect, l.Text);
    if (l.Underline >= 0 && l.Underline < int(l.Text.size())) {
      int ux = x + face.TextWidth(std::string_view(l.Text).substr(0, size_t(l.Underline)));
      int uw = face.Advance(AnsiCharToUnicode(l.Text[size_t(l.Underline)]));
      int uy = y + tm.Ascent + 1;
      TRect bar{ux, uy, ux + uw, uy + 1};
      if (!(format & DT_NOCLIP)) bar = IntersectRect(bar, rect);
      dc.FillRect(bar, SolidBrush(dc.TextColor()));
    }
    y += lineHeight;
  }
  dc.SetTextAlign(oldAlign);
  return (format & DT_SINGLELINE) && (format & (DT_VCENTER | DT_BOTTOM)) ? y - rect.Top : total;
}
