#include "controls/ctlEntryModel.h"

namespace {

int clampTo(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }

}  // namespace

void TCtlEntryModel::SetText(std::string_view Value) {
  FText.assign(Value.substr(0, std::size_t(FMaxLength)));
  FCaret = clampTo(FCaret, 0, Length());
  FSelStart = clampTo(FSelStart, 0, Length());
  FSelEnd = clampTo(FSelEnd, FSelStart, Length());
}

void TCtlEntryModel::SetMaxLength(int Value) {
  FMaxLength = clampTo(Value, 1, ctlMaxEditLength);
  if (Length() > FMaxLength) SetText(FText);
}

void TCtlEntryModel::SetCaret(int Value) { FCaret = clampTo(Value, 0, Length()); }

void TCtlEntryModel::SetSelection(int Start, int End) {
  if (End < Start) return;
  FSelStart = clampTo(Start, 0, Length());
  FSelEnd = clampTo(End, 0, Length());
}
