// The vocabulary of data access: its error, data set states, data events, field types and kinds,
// record buffers and bookmarks, and the events of data sets, sources and fields.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/classlib/Classes.h"
#include "platform/rtl/Exceptions.h"

QUORVEX_EXCEPTION(EDatabaseError, Exception);

class TDataSet;
class TDataSource;
class TDataLink;

enum TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert, dsSetKey, dsCalcFields, dsFilter, dsNewValue, dsOldValue,
                     dsCurValue, dsBlockRead, dsInternalCalc, dsOpening };

// What a data set tells its sources and links. deFieldChange carries the field; the others none.
enum TDataEvent {
  deFieldChange,
  deRecordChange,
  deDataSetChange,
  deDataSetScroll,
  deLayoutChange,
  deUpdateRecord,
  deUpdateState,
  deCheckBrowseMode,
  deFieldListChange,
};

enum TFieldType { ftUnknown, ftString, ftSmallint, ftInteger, ftWord, ftBoolean, ftFloat, ftCurrency, ftDate,
                  ftTime, ftDateTime, ftMemo, ftBlob };
enum TFieldKind { fkData, fkCalculated, fkLookup, fkInternalCalc };

using TRecordBuffer = char*;
using TBookmark = std::vector<char>;
enum TGetMode { gmCurrent, gmNext, gmPrior };
enum TGetResult { grOK, grBOF, grEOF, grError };
enum TBookmarkFlag { bfCurrent, bfBOF, bfEOF, bfInserted };
enum TBlobStreamMode { bmRead, bmWrite, bmReadWrite };
enum TResyncModeFlag : uint32_t { rmExact = 1, rmCenter = 2 };
using TResyncMode = uint32_t;
enum TLocateOption : uint32_t { loCaseInsensitive = 1, loPartialKey = 2 };
using TLocateOptions = uint32_t;

// Days between 1 January of year 1 and the date-time origin: a date field keeps day numbers from there.
constexpr int32_t DateDelta = 693594;

class TField;
using TFieldGetTextEvent = std::function<void(TField* Sender, AnsiString& Text, bool DisplayText)>;
using TDataChangeEvent = std::function<void(TObject* Sender, TField* Field)>;
using TDataSetNotifyEvent = std::function<void(TDataSet* DataSet)>;
using TFilterRecordEvent = std::function<void(TDataSet* DataSet, bool& Accept)>;

// The current record is being changed: edit or insert.
inline bool IsEditState(TDataSetState s) { return s == dsEdit || s == dsInsert; }
