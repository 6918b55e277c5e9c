// String lists with attached objects, and the untyped pointer list of the run-time.
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

#include "platform/rtl/AnsiString.h"

enum class TDuplicates { dupIgnore, dupAccept, dupError };

class TStrings {
public:
  virtual ~TStrings() = default;

  virtual int Count() const = 0;
  virtual AnsiString Get(int index) const = 0;
  virtual void Put(int index, const AnsiString& s) = 0;
  virtual void* GetObject(int index) const = 0;
  virtual void PutObject(int index, void* obj) = 0;
  virtual void Insert(int index, const AnsiString& s) = 0;
  virtual void Delete(int index) = 0;
  virtual void Clear() = 0;

  AnsiString Strings(int index) const { return Get(index); }
  void SetStrings(int index, const AnsiString& s) { Put(index, s); }
  void* Objects(int index) const { return GetObject(index); }
  void SetObjects(int index, void* obj) { PutObject(index, obj); }
  AnsiString operator[](int index) const { return Get(index); }

  virtual int Add(const AnsiString& s);
  int AddObject(const AnsiString& s, void* obj);
  void AddStrings(const TStrings& other);
  virtual int IndexOf(const AnsiString& s) const;  // case-insensitive, as the run-time
  int IndexOfName(const AnsiString& name) const;
  AnsiString Values(const AnsiString& name) const;
  virtual void Assign(const TStrings& other);

  // Lines joined by CR LF, each line ended; setting splits on CR LF, CR or LF.
  AnsiString Text() const;
  virtual void SetText(const AnsiString& text);
  AnsiString CommaText() const;
  void LoadFromFile(const AnsiString& fileName);
  void SaveToFile(const AnsiString& fileName) const;

  // Bracket bulk changes; OnChange fires once at the outermost EndUpdate.
  void BeginUpdate() { ++FUpdateCount; }
  void EndUpdate();
  std::function<void()> OnChange;

protected:
  void Changed();
  int FUpdateCount = 0;
  bool FChangedWhileUpdating = false;
};

class TStringList : public TStrings {
public:
  TStringList() = default;
  TStringList(const TStringList& o) : TStrings() { Assign(o); }
  TStringList& operator=(const TStringList& o) { Assign(o); return *this; }

  int Count() const override { return static_cast<int>(FItems.size()); }
  AnsiString Get(int index) const override;
  void Put(int index, const AnsiString& s) override;
  void* GetObject(int index) const override;
  void PutObject(int index, void* obj) override;
  int Add(const AnsiString& s) override;
  void Insert(int index, const AnsiString& s) override;
  void Delete(int index) override;
  void Clear() override;
  int IndexOf(const AnsiString& s) const override;

  bool Sorted() const { return FSorted; }
  void SetSorted(bool v);
  TDuplicates Duplicates() const { return FDuplicates; }
  void SetDuplicates(TDuplicates d) { FDuplicates = d; }
  bool CaseSensitive() const { return FCaseSensitive; }
  void SetCaseSensitive(bool v) { FCaseSensitive = v; }
  void Sort();
  // Binary search of a sorted list: true and the index when found, else the insertion point.
  bool Find(const AnsiString& s, int& index) const;

private:
  struct Item {
    AnsiString Str;
    void* Obj = nullptr;
  };
  void check(int index) const;
  int compare(const AnsiString& a, const AnsiString& b) const;
  std::vector<Item> FItems;
  bool FSorted = false;
  bool FCaseSensitive = false;
  TDuplicates FDuplicates = TDuplicates::dupIgnore;
};

// The run-time's list of untyped pointers.
class TList {
public:
  int Count() const { return static_cast<int>(FItems.size()); }
  void* Items(int index) const;
  void SetItems(int index, void* p);
  void* operator[](int index) const { return Items(index); }
  int Add(void* p) { FItems.push_back(p); return Count() - 1; }
  void Insert(int index, void* p);
  void Delete(int index);
  int Remove(void* p);
  int IndexOf(void* p) const;
  void Clear() { FItems.clear(); }
  void Exchange(int a, int b);
  void Move(int from, int to);
  void* First() const { return Items(0); }
  void* Last() const { return Items(Count() - 1); }
  void Pack();
  void Sort(const std::function<int(void*, void*)>& compare);

private:
  void check(int index) const;
  std::vector<void*> FItems;
};
