// What the open dialog decides apart from its controls: the filter and its masks, the folder
// listing, the order in which names were picked, and what the typed names come to.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/rtl/AnsiString.h"

// Option bits keep the class library's order.
enum TOpenOption : int { ofAllowMultiSelect = 6, ofPathMustExist = 8, ofFileMustExist = 9 };
using TOpenOptions = uint32_t;
constexpr TOpenOptions OpenOption(TOpenOption o) { return TOpenOptions(1) << o; }

// One choice of a filter "Description|mask;mask|Description|mask".
struct TFileFilterItem {
  AnsiString Description;
  std::vector<AnsiString> Masks;
};
std::vector<TFileFilterItem> ParseFileFilter(const AnsiString& filter);
// Masks separated by ";", blanks around them dropped.
std::vector<AnsiString> SplitMasks(const AnsiString& masks);
// In any letter case; no masks match nothing.
bool MatchesAnyMask(const AnsiString& name, const std::vector<AnsiString>& masks);
bool HasWildcard(const AnsiString& name);

// The text of the name field: several names each in double quotes, one name bare; and back.
std::vector<AnsiString> SplitTypedNames(const AnsiString& text);
AnsiString JoinTypedNames(const std::vector<AnsiString>& names);
// Keeps the names still picked in the order they were first picked, then the new ones in list order.
std::vector<AnsiString> KeepPickOrder(const std::vector<AnsiString>& order, const std::vector<AnsiString>& pickedNow);
// An absolute path of name taken from folder, with "." and ".." resolved.
AnsiString ResolvePath(const AnsiString& folder, const AnsiString& name);

struct TFolderEntry {
  AnsiString Name;
  bool IsFolder = false;
  friend bool operator==(const TFolderEntry&, const TFolderEntry&) = default;
};

// What pressing Open with the typed text came to.
struct TOpenOutcome {
  enum TKind { okNothing, okFolderChanged, okMaskChanged, okChosen, okRejected };
  TKind Kind = okNothing;
  std::vector<AnsiString> Files;  // okChosen: full names in the order given
  AnsiString Message;             // okRejected: what to tell the user
};

class TFileDialogModel {
public:
  // Returns false and keeps the current folder when name is not a folder.
  bool SetFolder(const AnsiString& name);
  const AnsiString& Folder() const { return FFolder; }  // with its trailing separator
  bool GoUp();

  void SetFilter(const AnsiString& filter);
  const std::vector<TFileFilterItem>& FilterItems() const { return FItems; }
  int FilterIndex() const { return FFilterIndex; }  // counted from 1
  // An index outside the filter selects the first choice; a typed mask is dropped.
  void SetFilterIndex(int index);
  // The masks the listing shows: a typed mask, else the chosen filter item's (all files without a filter).
  std::vector<AnsiString> ActiveMasks() const;

  // Folders first ("..", unless at the root), then the matching files; each in name order, any case.
  std::vector<TFolderEntry> Entries() const;

  TOpenOutcome Accept(const AnsiString& typed, TOpenOptions options, const AnsiString& defaultExt);

private:
  TOpenOutcome chooseFiles(const std::vector<AnsiString>& names, TOpenOptions options,
                           const AnsiString& defaultExt) const;

  AnsiString FFolder = "/";
  std::vector<TFileFilterItem> FItems;
  int FFilterIndex = 1;
  std::vector<AnsiString> FTypedMasks;
};
