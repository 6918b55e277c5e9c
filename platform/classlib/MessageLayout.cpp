#include "platform/classlib/MessageLayout.h"

#include <algorithm>

namespace {

constexpr int kMargin = 12;
constexpr int kIconSize = 32;
constexpr int kIconGap = 12;
constexpr int kButtonHeight = 25;
constexpr int kButtonMinWidth = 75;
constexpr int kButtonPadding = 16;
constexpr int kButtonGap = 6;
constexpr int kTextButtonGap = 16;
constexpr int kMinTextWidth = 40;

int Width(const TTextMeasure& m, std::string_view s) { return m.Width ? m.Width(s) : static_cast<int>(s.size()) * 6; }

// The caption without its "&" marks, as it is measured.
AnsiString StripPrefix(const AnsiString& caption) {
  AnsiString out;
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&' && i + 1 < caption.size()) ++i;
    out += caption[i];
  }
  return out;
}

}  // namespace

std::vector<AnsiString> SplitMessageLines(std::string_view text) {
  std::vector<AnsiString> lines(1);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      lines.emplace_back();
    } else {
      lines.back() += c;
    }
  }
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

std::vector<AnsiString> WrapMessageLine(const AnsiString& line, int maxWidth, const TTextMeasure& measure) {
  if (line.empty() || Width(measure, line) <= maxWidth) return {line};
  std::vector<AnsiString> out;
  AnsiString rest = line;
  while (!rest.empty()) {
    if (Width(measure, rest) <= maxWidth) {
      out.push_back(rest);
      break;
    }
    // The longest head that fits, ending before a blank when there is one.
    std::size_t fit = 1;
    while (fit < rest.size() && Width(measure, std::string_view(rest).substr(0, fit + 1)) <= maxWidth) ++fit;
    std::size_t cut = rest.find_last_of(' ', fit);
    if (cut == AnsiString::npos || cut == 0) cut = fit;
    AnsiString head = rest.substr(0, cut);
    while (!head.empty() && head.back() == ' ') head.pop_back();
    out.push_back(head.empty() ? rest.substr(0, fit) : head);
    std::size_t next = head.empty() ? fit : cut;
    while (next < rest.size() && rest[next] == ' ') ++next;
    rest = rest.substr(next);
  }
  return out;
}

AnsiString MessageButtonCaption(TMsgDlgBtn b) {
  switch (b) {
    case mbYes: return "&Yes";
    case mbNo: return "&No";
    case mbOK: return "OK";
    case mbCancel: return "Cancel";
    case mbAbort: return "&Abort";
    case mbRetry: return "&Retry";
    case mbIgnore: return "&Ignore";
    case mbAll: return "&All";
    case mbNoToAll: return "N&o to All";
    case mbYesToAll: return "Yes to &All";
    case mbHelp: return "&Help";
  }
  return AnsiString();
}

TModalResult MessageButtonResult(TMsgDlgBtn b) {
  switch (b) {
    case mbYes: return mrYes;
    case mbNo: return mrNo;
    case mbOK: return mrOk;
    case mbCancel: return mrCancel;
    case mbAbort: return mrAbort;
    case mbRetry: return mrRetry;
    case mbIgnore: return mrIgnore;
    case mbAll: return mrAll;
    case mbNoToAll: return mrNoToAll;
    case mbYesToAll: return mrYesToAll;
    case mbHelp: break;
  }
  return mrNone;
}

AnsiString MessageKindCaption(TMsgDlgType kind) {
  switch (kind) {
    case TMsgDlgType::mtWarning: return "Warning";
    case TMsgDlgType::mtError: return "Error";
    case TMsgDlgType::mtInformation: return "Information";
    case TMsgDlgType::mtConfirmation: return "Confirm";
    case TMsgDlgType::mtCustom: break;
  }
  return AnsiString();
}

TMessageLayout LayoutMessageBox(const AnsiString& text, TMsgDlgType kind, TMsgDlgButtons buttons,
                                int defaultButton, const TTextMeasure& measure, int maxTextWidth) {
  TMessageLayout l;
  maxTextWidth = std::max(maxTextWidth, kMinTextWidth);
  for (const AnsiString& line : SplitMessageLines(text))
    for (AnsiString& piece : WrapMessageLine(line, maxTextWidth, measure)) l.Lines.push_back(std::move(piece));

  // A box nobody could close would hang its caller.
  buttons &= (TMsgDlgButtons(1) << kMsgDlgButtonCount) - 1;
  if ((buttons & ~MsgButton(mbHelp)) == 0) buttons |= mbOKOnly;
  int buttonWidth = kButtonMinWidth;
  for (int b = 0; b < kMsgDlgButtonCount; ++b) {
    if (!(buttons & MsgButton(TMsgDlgBtn(b)))) continue;
    TMessageButton mb;
    mb.Button = TMsgDlgBtn(b);
    mb.Caption = MessageButtonCaption(mb.Button);
    mb.Result = MessageButtonResult(mb.Button);
    buttonWidth = std::max(buttonWidth, Width(measure, StripPrefix(mb.Caption)) + kButtonPadding);
    l.Buttons.push_back(std::move(mb));
  }
  const int count = static_cast<int>(l.Buttons.size());
  for (int i = 0; i < count; ++i)
    if (l.Buttons[i].Button == defaultButton) l.DefaultIndex = i;
  if (l.DefaultIndex < 0) l.DefaultIndex = 0;
  // Escape means Cancel, else No, else a lone OK; with Abort/Retry/Ignore it means nothing.
  for (TMsgDlgBtn esc : {mbCancel, mbNo, mbOK}) {
    auto it = std::find_if(l.Buttons.begin(), l.Buttons.end(), [&](const TMessageButton& b) { return b.Button == esc; });
    const bool loneOK = (buttons & ~MsgButton(mbHelp)) == mbOKOnly;
    if (it != l.Buttons.end() && (esc != mbOK || loneOK)) {
      l.CancelIndex = static_cast<int>(it - l.Buttons.begin());
      break;
    }
  }

  l.HasIcon = kind != TMsgDlgType::mtCustom;
  int textWidth = 0;
  for (const AnsiString& line : l.Lines) textWidth = std::max(textWidth, Width(measure, line));
  const int textHeight = static_cast<int>(l.Lines.size()) * measure.LineHeight;
  const int textLeft = kMargin + (l.HasIcon ? kIconSize + kIconGap : 0);
  if (l.HasIcon) l.IconBounds = TRect{kMargin, kMargin, kMargin + kIconSize, kMargin + kIconSize};
  const int bodyHeight = std::max(textHeight, l.HasIcon ? kIconSize : 0);
  // Short text sits level with the middle of the icon.
  const int textTop = kMargin + (bodyHeight - textHeight) / 2;
  l.TextBounds = TRect{textLeft, textTop, textLeft + textWidth, textTop + textHeight};

  const int rowWidth = count * buttonWidth + (count - 1) * kButtonGap;
  const int clientWidth = std::max(textLeft + textWidth + kMargin, rowWidth + 2 * kMargin);
  const int buttonTop = kMargin + bodyHeight + kTextButtonGap;
  int x = (clientWidth - rowWidth) / 2;
  for (TMessageButton& b : l.Buttons) {
    b.Bounds = TRect{x, buttonTop, x + buttonWidth, buttonTop + kButtonHeight};
    x += buttonWidth + kButtonGap;
  }
  l.ClientSize = TSize{clientWidth, buttonTop + kButtonHeight + kMargin};
  return l;
}
