#include "platform/rtl/StringList.h"

#include <algorithm>

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Streams.h"

int TStrings::Add(const AnsiString& s) {
  int i = Count();
  Insert(i, s);
  return i;
}

int TStrings::AddObject(const AnsiString& s, void* obj) {
  int i = Add(s);
  PutObject(i, obj);
  return i;
}

void TStrings::AddStrings(const TStrings& other) {
  BeginUpdate();
  for (int i = 0; i < other.Count(); ++i) AddObject(other.Get(i), other.GetObject(i));
  EndUpdate();
}

int TStrings::IndexOf(const AnsiString& s) const {
  for (int i = 0; i < Count(); ++i)
    if (AnsiCompareText(Get(i), s) == 0) return i;
  return -1;
}

int TStrings::IndexOfName(const AnsiString& name) const {
  for (int i = 0; i < Count(); ++i) {
    AnsiString s = Get(i);
    auto eq = s.find('=');
    if (eq != AnsiString::npos && AnsiCompareText(s.substr(0, eq), name) == 0) return i;
  }
  return -1;
}

AnsiString TStrings::Values(const AnsiString& name) const {
  int i = IndexOfName(name);
  if (i < 0) return {};
  AnsiString s = Get(i);
  return s.substr(s.find('=') + 1);
}

void TStrings::Assign(const TStrings& other) {
  if (&other == this) return;
  BeginUpdate();
  Clear();
  AddStrings(other);
  EndUpdate();
}

AnsiString TStrings::Text() const {
  AnsiString r;
  for (int i = 0; i < Count(); ++i) {
    r += Get(i);
    r += "\r\n";
  }
  return r;
}

void TStrings::SetText(const AnsiString& text) {
  BeginUpdate();
  Clear();
  std::size_t i = 0, start = 0;
  while (i < text.size()) {
    char c = text[i];
    if (c == '\r' || c == '\n') {
      Add(text.substr(start, i - start));
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      start = ++i;
    } else {
      ++i;
    }
  }
  if (start < text.size()) Add(text.substr(start));
  EndUpdate();
}

AnsiString TStrings::CommaText() const {
  AnsiString r;
  for (int i = 0; i < Count(); ++i) {
    if (i) r += ',';
    AnsiString s = Get(i);
    bool quote = s.empty() || s.find_first_of(" ,\"") != AnsiString::npos;
    if (!quote) {
      r += s;
      continue;
    }
    r += '"';
    for (char c : s) {
      if (c == '"') r += '"';
      r += c;
    }
    r += '"';
  }
  return r;
}

void TStrings::LoadFromFile(const AnsiString& fileName) {
  TFileStream f(fileName, fmOpenRead | fmShareDenyWrite);
  AnsiString data(static_cast<std::size_t>(f.Size()), '\0');
  f.ReadBuffer(data.data(), static_cast<int64_t>(data.size()));
  SetText(data);
}

void TStrings::SaveToFile(const AnsiString& fileName) const {
  AnsiString t = Text();
  TFileStream f(fileName, fmCreate);
  f.WriteBuffer(t.data(), static_cast<int64_t>(t.size()));
}

void TStrings::EndUpdate() {
  if (FUpdateCount > 0 && --FUpdateCount == 0 && FChangedWhileUpdating) {
    FChangedWhileUpdating = false;
    if (OnChange) OnChange();
  }
}

void TStrings::Changed() {
  if (FUpdateCount > 0) FChangedWhileUpdating = true;
  else if (OnChange) OnChange();
}

void TStringList::check(int index) const {
  if (index < 0 || index >= Count()) throw EListError("List index out of bounds (%d)", {index});
}

int TStringList::compare(const AnsiString& a, const AnsiString& b) const {
  return FCaseSensitive ? AnsiCompareStr(a, b) : AnsiCompareText(a, b);
}

AnsiString TStringList::Get(int index) const {
  check(index);
  return FItems[static_cast<std::size_t>(index)].Str;
}

void TStringList::Put(int index, const AnsiString& s) {
  if (FSorted) throw EListError("Operation not allowed on sorted list");
  check(index);
  FItems[static_cast<std::size_t>(index)].Str = s;
  Changed();
}

void* TStringList::GetObject(int index) const {
  check(index);
  return FItems[static_cast<std::size_t>(index)].Obj;
}

void TStringList::PutObject(int index, void* obj) {
  check(index);
  FItems[static_cast<std::size_t>(index)].Obj = obj;
}

int TStringList::Add(const AnsiString& s) {
  if (!FSorted) {
    FItems.push_back({s, nullptr});
    Changed();
    return Count() - 1;
  }
  int at;
  if (Find(s, at)) {
    if (FDuplicates == TDuplicates::dupIgnore) return at;
    if (FDuplicates == TDuplicates::dupError) throw EListError("String list does not allow duplicates");
  }
  FItems.insert(FItems.begin() + at, {s, nullptr});
  Changed();
  return at;
}

void TStringList::Insert(int index, const AnsiString& s) {
  if (FSorted) throw EListError("Operation not allowed on sorted list");
  if (index < 0 || index > Count()) throw EListError("List index out of bounds (%d)", {index});
  FItems.insert(FItems.begin() + index, {s, nullptr});
  Changed();
}

void TStringList::Delete(int index) {
  check(index);
  FItems.erase(FItems.begin() + index);
  Changed();
}

void TStringList::Clear() {
  if (FItems.empty()) return;
  FItems.clear();
  Changed();
}

int TStringList::IndexOf(const AnsiString& s) const {
  if (!FSorted) {
    for (int i = 0; i < Count(); ++i)
      if (compare(FItems[static_cast<std::size_t>(i)].Str, s) == 0) return i;
    return -1;
  }
  int at;
  return Find(s, at) ? at : -1;
}

void TStringList::SetSorted(bool v) {
  if (v && !FSorted) {
    FSorted = true;
    Sort();
  }
  FSorted = v;
}

void TStringList::Sort() {
  std::stable_sort(FItems.begin(), FItems.end(),
                   [this](const Item& a, const Item& b) { return compare(a.Str, b.Str) < 0; });
  Changed();
}

bool TStringList::Find(const AnsiString& s, int& index) const {
  int lo = 0, hi = Count() - 1;
  bool found = false;
  while (lo <= hi) {
    int mid = (lo + hi) / 2;
    int c = compare(FItems[static_cast<std::size_t>(mid)].Str, s);
    if (c < 0) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
      if (c == 0) {
        found = true;
        if (FDuplicates != TDuplicates::dupAccept) lo = mid;
      }
    }
  }
  index = lo;
  return found;
}

void TList::check(int index) const {
  if (index < 0 || index >= Count()) throw EListError("List index out of bounds (%d)", {index});
}

void* TList::Items(int index) const {
  check(index);
  return FItems[static_cast<std::size_t>(index)];
}

void TList::SetItems(int index, void* p) {
  check(index);
  FItems[static_cast<std::size_t>(index)] = p;
}

void TList::Insert(int index, void* p) {
  if (index < 0 || index > Count()) throw EListError("List index out of bounds (%d)", {index});
  FItems.insert(FItems.begin() + index, p);
}

void TList::Delete(int index) {
  check(index);
  FItems.erase(FItems.begin() + index);
}

int TList::Remove(void* p) {
  int i = IndexOf(p);
  if (i >= 0) Delete(i);
  return i;
}

int TList::IndexOf(void* p) const {
  auto it = std::find(FItems.begin(), FItems.end(), p);
  return it == FItems.end() ? -1 : static_cast<int>(it - FItems.begin());
}

void TList::Exchange(int a, int b) {
  check(a);
  check(b);
  std::swap(FItems[static_cast<std::size_t>(a)], FItems[static_cast<std::size_t>(b)]);
}

void TList::Move(int from, int to) {
  if (from == to) return;
  void* p = Items(from);
  Delete(from);
  Insert(to, p);
}

void TList::Pack() { FItems.erase(std::remove(FItems.begin(), FItems.end(), nullptr), FItems.end()); }

void TList::Sort(const std::function<int(void*, void*)>& compare) {
  std::stable_sort(FItems.begin(), FItems.end(), [&](void* a, void* b) { return compare(a, b) < 0; });
}
