// The CLIPBOARD selection: our text offered to other programs, theirs taken, large ones in pieces.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>

#include <algorithm>

#include "platform/rtl/Ticks.h"
#include "platform/win/X11BackendImpl.h"

namespace {

constexpr int SelectionWaitMs = 2000;
// Clipboard text is taken up to this size; a transfer in pieces that grows beyond it is refused.
constexpr size_t MaxSelectionBytes = 64u << 20;
// Text larger than this goes to other programs in pieces (INCR), as large selections do.
constexpr size_t SelectionChunkBytes = 256u << 10;
// A transfer in pieces whose requestor stops taking them is dropped after this long.
constexpr uint64_t IncrTimeoutMs = 10000;

// The clipboard keeps CR LF line ends; X clients expect LF.
std::string ToXText(const AnsiString& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i)
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
  return out;
}

AnsiString FromXText(const std::string& text) {
  AnsiString out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    out += text[i];
  }
  return out;
}

}  // namespace

void TX11Backend::TImpl::AnswerSelection(const XSelectionRequestEvent& req) {
  XSelectionEvent reply{};
  reply.type = SelectionNotify;
  reply.display = Dpy;
  reply.requestor = req.requestor;
  reply.selection = req.selection;
  reply.target = req.target;
  reply.time = req.time;
  reply.property = None;
  // Old clients name no property: the target serves as one.
  Atom prop = req.property ? req.property : req.target;
  if (req.selection == Clipboard && Owned) {
    if (req.target == Targets) {
      Atom list[] = {Targets, Utf8, XA_STRING, Text};
      XChangeProperty(Dpy, req.requestor, prop, XA_ATOM, 32, PropModeReplace, reinterpret_cast<unsigned char*>(list),
                      4);
      reply.property = prop;
    } else if (req.target == Utf8 || req.target == Text || req.target == XA_STRING) {
      std::string text = ToXText(*Owned);
      std::string data = req.target == XA_STRING ? AnsiToLatin1(text) : AnsiToUtf8(text);
      Atom type = req.target == XA_STRING ? XA_STRING : Utf8;
      if (data.size() <= SelectionChunkBytes) {
        XChangeProperty(Dpy, req.requestor, prop, type, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(data.data()), static_cast<int>(data.size()));
      } else {
        // In pieces: the size first, then a piece each time the requestor deletes the last.
        std::erase_if(IncrOut, [&](const TIncrOut& t) { return t.Requestor == req.requestor && t.Property == prop; });
        XSelectInput(Dpy, req.requestor, PropertyChangeMask);
        long size = static_cast<long>(data.size());
        XChangeProperty(Dpy, req.requestor, prop, Incr, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&size),
                        1);
        IncrOut.push_back(TIncrOut{req.requestor, prop, type, std::move(data), 0, GetTickCount64() + IncrTimeoutMs});
      }
      reply.property = prop;
    }
  }
  XSendEvent(Dpy, req.requestor, False, 0, reinterpret_cast<XEvent*>(&reply));
}

void TX11Backend::TImpl::SendNextPiece(Window requestor, Atom property) {
  auto it = std::find_if(IncrOut.begin(), IncrOut.end(),
                         [&](const TIncrOut& t) { return t.Requestor == requestor && t.Property == property; });
  if (it == IncrOut.end()) return;
  const size_t n = std::min(SelectionChunkBytes, it->Data.size() - it->Sent);
  XChangeProperty(Dpy, requestor, property, it->Type, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(it->Data.data() + it->Sent), static_cast<int>(n));
  it->Sent += n;
  it->Due = GetTickCount64() + IncrTimeoutMs;
  // The empty piece that ends the text has gone too.
  if (n == 0) {
    XSelectInput(Dpy, requestor, NoEventMask);
    IncrOut.erase(it);
  }
  XFlush(Dpy);
}

std::optional<std::string> TX11Backend::TImpl::Convert(Atom target, Atom& type) {
  XDeleteProperty(Dpy, Helper, Incoming);
  XConvertSelection(Dpy, Clipboard, target, Incoming, Helper, CurrentTime);
  XFlush(Dpy);
  uint64_t deadline = GetTickCount64() + SelectionWaitMs;
  XEvent ev;
  // Other events wait in Xlib's queue for the next pump.
  while (!XCheckTypedWindowEvent(Dpy, Helper, SelectionNotify, &ev)) {
    uint64_t now = GetTickCount64();
    if (now >= deadline) return std::nullopt;
    pollfd p{ConnectionNumber(Dpy), POLLIN, 0};
    poll(&p, 1, static_cast<int>(deadline - now));
  }
  if (ev.xselection.property == None) return std::nullopt;
  Atom actual = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::optional<std::string> out;
  bool pieces = false;
  // The property is deleted as it is read: for a transfer in pieces that asks for the first one.
  if (XGetWindowProperty(Dpy, Helper, Incoming, 0, static_cast<long>(MaxSelectionBytes / 4), True, AnyPropertyType,
                         &actual, &format, &count, &after, &data) == Success) {
    if (actual == Incr) pieces = true;
    else if (format == 8 && after == 0 && (actual == Utf8 || actual == XA_STRING || actual == Text))
      out = std::string(reinterpret_cast<char*>(data), count);
    type = actual;
  }
  if (data) XFree(data);
  if (!pieces) return out;
  out = ReceivePieces();
  return out;
}

AnsiString ClipboardTextFromX(const std::string& bytes, bool utf8) {
  return FromXText(utf8 ? Utf8ToAnsi(bytes) : bytes);
}

// The pieces of a large selection: each arrives as a new value of the property, which we delete to
// ask for the next; an empty one ends the text.
std::optional<std::string> TX11Backend::TImpl::ReceivePieces() {
  XFlush(Dpy);
  std::string text;
  struct TScan {
    Window W;
    Atom A;
  } scan{Helper, Incoming};
  auto match = [](Display*, XEvent* e, XPointer arg) -> Bool {
    auto* s = reinterpret_cast<TScan*>(arg);
    return e->type == PropertyNotify && e->xproperty.window == s->W && e->xproperty.atom == s->A &&
           e->xproperty.state == PropertyNewValue;
  };
  for (;;) {
    uint64_t deadline = GetTickCount64() + SelectionWaitMs;
    XEvent ev;
    while (!XCheckIfEvent(Dpy, &ev, match, reinterpret_cast<XPointer>(&scan))) {
      uint64_t now = GetTickCount64();
      if (now >= deadline) return std::nullopt;
      pollfd p{ConnectionNumber(Dpy), POLLIN, 0};
      poll(&p, 1, static_cast<int>(deadline - now));
    }
    Atom actual = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const long room = static_cast<long>((MaxSelectionBytes - text.size()) / 4 + 1);
    if (XGetWindowProperty(Dpy, Helper, Incoming, 0, room, True, AnyPropertyType, &actual, &format, &count, &after,
                           &data) != Success)
      return std::nullopt;
    // A notice older than our last read: the piece it told of is taken, or the next not yet there.
    if (actual == None) {
      if (data) XFree(data);
      continue;
    }
    const bool ok = format == 8 && after == 0 && text.size() + count <= MaxSelectionBytes;
    if (ok) text.append(reinterpret_cast<char*>(data), count);
    if (data) XFree(data);
    XFlush(Dpy);
    if (!ok) return std::nullopt;
    if (count == 0) return text;
  }
}

std::optional<AnsiString> TX11Backend::ClipboardText() {
  Window owner = XGetSelectionOwner(F->Dpy, F->Clipboard);
  if (owner == F->Helper) return F->Owned;
  F->Owned.reset();
  if (owner == None) return std::nullopt;
  Atom type = 0;
  if (auto utf8 = F->Convert(F->Utf8, type)) return ClipboardTextFromX(*utf8, type != XA_STRING);
  if (auto latin = F->Convert(XA_STRING, type)) return ClipboardTextFromX(*latin, type == F->Utf8);
  return std::nullopt;
}

void TX11Backend::SetClipboardText(const std::optional<AnsiString>& text) {
  Display* d = F->Dpy;
  F->Owned = text;
  if (text) {
    XSetSelectionOwner(d, F->Clipboard, F->Helper, F->LastTime);
    if (XGetSelectionOwner(d, F->Clipboard) != F->Helper) F->Owned.reset();
  } else if (XGetSelectionOwner(d, F->Clipboard) == F->Helper) {
    XSetSelectionOwner(d, F->Clipboard, None, F->LastTime);
  }
  XFlush(d);
}
