// The entry points of the xBase table engine "XBE7.DLL", in the order the loader binds them.
// XBE_ENTRY(kind, result, name, parameters): kind is CALLED for the entries the table layer
// relies on, NEUTRAL for those it binds but never calls. Logical values cross as -1 and 0, texts
// as zero-terminated 8-bit strings that stay the engine's; records count from 1.
//
// Replace kinds, type codes and the error callback are this engine's own; see below.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Logical values as they cross the entries.
constexpr int32_t xbTrue = -1;
constexpr int32_t xbFalse = 0;
constexpr int32_t XbLogical(bool b) { return b ? xbTrue : xbFalse; }

// A character field's text without the blanks that pad it to its width.
inline std::string TrimTrailingBlanks(std::string_view s) { return std::string(s.substr(0, s.find_last_not_of(' ') + 1)); }

constexpr int32_t xbReplaceText = 1;     // value: const char*
constexpr int32_t xbReplaceInteger = 2;  // value: const int32_t*
constexpr int32_t xbReplaceDouble = 3;   // value: const double*
constexpr int32_t xbReplaceLogical = 4;  // value: const int32_t*, -1 or 0
constexpr int32_t xbReplaceDate = 5;     // value: const char*, "yyyymmdd"

// Result types of xb_EvalTest; below 1 means the expression does not parse.
constexpr int32_t xbTypeCharacter = 1;
constexpr int32_t xbTypeNumeric = 2;
constexpr int32_t xbTypeLogical = 3;
constexpr int32_t xbTypeDate = 4;

// xb_SysProp property numbers.
constexpr int32_t xbPropGetExact = 1002;
constexpr int32_t xbPropSetExact = 1003;
constexpr int32_t xbPropGetDeleted = 1006;
constexpr int32_t xbPropGetOptimistic = 1008;
constexpr int32_t xbPropSetOptimistic = 1009;
constexpr int32_t xbPropOrderCount = 3000;
constexpr int32_t xbPropOrderDescending = 3002;

// Called with every error and notice of the engine, whatever the error level.
using TXbErrorFunc = void (*)(int32_t code, const char* message);

// The engine's own step, bound apart from the list below and only when the library has it:
// moves count records as xb_Skip does and copies the record reached into record (xb_RecSize
// bytes), answering its number; 0 when the step ran off that end or stayed where it was.
using TXbSkipRecordFunc = int32_t (*)(int32_t count, char* record);
constexpr const char* xbSkipRecordEntry = "xb_SkipRecord";
// The engine's own count of work-area operations, bound like the step: it moves on with every
// call that reaches a work area, so while it stands still no work area has moved or changed.
using TXbTouchesFunc = const uint64_t* (*)();
constexpr const char* xbTouchesEntry = "xb_Touches";

#define XBE_ENTRIES                                                                              \
  XBE_ENTRY(NEUTRAL, int32_t, xb_AddDudenCollation, (const char*))                              \
  XBE_ENTRY(NEUTRAL, int32_t, xb_AddEtecCollation, (const char*))                               \
  XBE_ENTRY(CALLED, const char*, xb_Alias, (int32_t))                                           \
  XBE_ENTRY(NEUTRAL, void, xb_Append, ())                                                       \
  XBE_ENTRY(NEUTRAL, void, xb_AppendEx, (int32_t))                                              \
  XBE_ENTRY(CALLED, void, xb_AppendBlank, ())                                                   \
  XBE_ENTRY(NEUTRAL, void, xb_AppendBlankEx, (int32_t))                                         \
  XBE_ENTRY(NEUTRAL, int32_t, xb_AppendFrom, (const char*, int32_t))                            \
  XBE_ENTRY(NEUTRAL, int32_t, xb_BaseDate, ())                                                  \
  XBE_ENTRY(NEUTRAL, const char*, xb_BaseName, ())                                              \
  XBE_ENTRY(NEUTRAL, int32_t, xb_BlobToFile, (const char*, const char*))                        \
  XBE_ENTRY(CALLED, int32_t, xb_Bof, ())                                                        \
  XBE_ENTRY(CALLED, void, xb_Close, ())                                                         \
  XBE_ENTRY(NEUTRAL, void, xb_CloseAll, ())                                                     \
  XBE_ENTRY(CALLED, void, xb_CloseIndexes, ())                                                  \
  XBE_ENTRY(CALLED, void, xb_Commit, ())                                                        \
  XBE_ENTRY(NEUTRAL, int32_t, xb_CommitLevel, (int32_t))                                        \
  XBE_ENTRY(NEUTRAL, int32_t, xb_CopyFile, (const char*))                                       \
  XBE_ENTRY(NEUTRAL, int32_t, xb_CopyFileText, (const char*, int32_t))                          \
  XBE_ENTRY(NEUTRAL, int32_t, xb_CopyStructure, (const char*))                                  \
  XBE_ENTRY(NEUTRAL, int32_t, xb_CopyStructureExtended, (const char*))                          \
  XBE_ENTRY(CALLED, int32_t, xb_Count, ())                                                      \
  XBE_ENTRY(NEUTRAL, int32_t, xb_CreateExec, ())                                                \
  XBE_ENTRY(NEUTRAL, int32_t, xb_CreateField, (const char*, const char*, int32_t, int32_t))     \
  XBE_ENTRY(NEUTRAL, int32_t, xb_CreateFrom, (const char*, const char*))                        \
  XBE_ENTRY(NEUTRAL, int32_t, xb_CreateNew, (const char*, const char*, int32_t))                \
  XBE_ENTRY(NEUTRAL, int32_t, xb_CreateNewEx, (const char*, const char*, int32_t, int32_t))     \
  XBE_ENTRY(NEUTRAL, int32_t, xb_DbfDecrypt, ())                                                \
  XBE_ENTRY(NEUTRAL, int32_t, xb_DbfEncrypt, ())                                                \
  XBE_ENTRY(CALLED, const char*, xb_DBFilter, ())                                               \
  XBE_ENTRY(NEUTRAL, const char*, xb_DBRlockList, ())                                           \
  XBE_ENTRY(NEUTRAL, int32_t, xb_Decrypt, (void*, int32_t))                                     \
  XBE_ENTRY(CALLED, void, xb_Delete, ())                                                        \
  XBE_ENTRY(CALLED, int32_t, xb_Deleted, ())                                                    \
  XBE_ENTRY(NEUTRAL, const char*, xb_Descend, (const char*))                                    \
  XBE_ENTRY(NEUTRAL, int32_t, xb_Empty, (const char*))                                          \
  XBE_ENTRY(CALLED, int32_t, xb_Eof, ())                                                        \
  XBE_ENTRY(NEUTRAL, int32_t, xb_Encrypt, (void*, int32_t))                                     \
  XBE_ENTRY(CALLED, int32_t, xb_ErrorLevel, (int32_t))                                          \
  XBE_ENTRY(CALLED, int32_t, xb_EvalLogical, (const char*))                                     \
  XBE_ENTRY(CALLED, double, xb_EvalNumeric, (const char*))                                      \
  XBE_ENTRY(CALLED, const char*, xb_EvalString, (const char*))                                  \
  XBE_ENTRY(CALLED, int32_t, xb_EvalTest, (const char*))                                        \
  XBE_ENTRY(CALLED, int32_t, xb_FieldCount, ())                                                 \
  XBE_ENTRY(CALLED, int32_t, xb_FieldDecimals, (const char*))                                   \
  XBE_ENTRY(CALLED, const char*, xb_FieldName, (int32_t))                                       \
  XBE_ENTRY(NEUTRAL, int32_t, xb_FieldNum, (const char*))                                       \
  XBE_ENTRY(CALLED, int32_t, xb_FieldOffset, (const char*))                                     \
  XBE_ENTRY(CALLED, const char*, xb_FieldType, (const char*))                                   \
  XBE_ENTRY(CALLED, int32_t, xb_FieldWidth, (const char*))                                      \
  XBE_ENTRY(NEUTRAL, const char*, xb_FilterAlias, ())                                           \
  XBE_ENTRY(NEUTRAL, int32_t, xb_FilterDlg, (int32_t))                                          \
  XBE_ENTRY(NEUTRAL, void, xb_FinalizeSession, ())                                              \
  XBE_ENTRY(NEUTRAL, int32_t, xb_Flock, ())                                                     \
  XBE_ENTRY(CALLED, int32_t, xb_Found, ())                                                      \
  XBE_ENTRY(CALLED, void, xb_GetBlob, (const char*, void*))                                     \
  XBE_ENTRY(CALLED, int32_t, xb_GetBlobLength, (const char*))                                   \
  XBE_ENTRY(NEUTRAL, int32_t, xb_GetByte, (const char*))                                        \
  XBE_ENTRY(NEUTRAL, int32_t, xb_GetCommitLevel, ())                                            \
  XBE_ENTRY(NEUTRAL, int32_t, xb_GetDateJulian, (const char*))                                  \
  XBE_ENTRY(CALLED, const char*, xb_GetDateString, (const char*))                               \
  XBE_ENTRY(CALLED, double, xb_GetDouble, (const char*))                                        \
  XBE_ENTRY(CALLED, int32_t, xb_GetInteger, (const char*))                                      \
  XBE_ENTRY(NEUTRAL, int32_t, xb_GetLogical, (const char*))                                     \
  XBE_ENTRY(NEUTRAL, int32_t, xb_GetLong, (const char*))                                        \
  XBE_ENTRY(CALLED, char*, xb_GetMemo, (const char*, int32_t))                                  \
  XBE_ENTRY(NEUTRAL, int32_t, xb_GetQueryBit, (int32_t))                                        \
  XBE_ENTRY(CALLED, void, xb_GetRecord, (char*))                                                \
  XBE_ENTRY(CALLED, const char*, xb_GetScope, (int32_t))                                        \
  XBE_ENTRY(NEUTRAL, const char*, xb_GetString, (const char*))                                  \
  XBE_ENTRY(CALLED, const char*, xb_GetTrimString, (const char*))                               \
  XBE_ENTRY(NEUTRAL, const char*, xb_GetXML, (int32_t))                                         \
  XBE_ENTRY(CALLED, void, xb_Go, (int32_t))                                                     \
  XBE_ENTRY(CALLED, void, xb_GoBottom, ())                                                      \
  XBE_ENTRY(CALLED, void, xb_GoTop, ())                                                         \
  XBE_ENTRY(NEUTRAL, int32_t, xb_Index, (const char*, const char*, int32_t, int32_t))           \
  XBE_ENTRY(NEUTRAL, void, xb_IndexClose, (int32_t))                                            \
  XBE_ENTRY(CALLED, const char*, xb_IndexCondition, ())                                         \
  XBE_ENTRY(NEUTRAL, int32_t, xb_IndexFlip, ())                                                 \
  XBE_ENTRY(CALLED, const char*, xb_IndexKey, ())                                               \
  XBE_ENTRY(CALLED, const char*, xb_IndexKeyField, ())                                          \
  XBE_ENTRY(CALLED, const char*, xb_IndexName, (int32_t))                                       \
  XBE_ENTRY(CALLED, int32_t, xb_IndexOpen, (const char*))                                       \
  XBE_ENTRY(CALLED, int32_t, xb_IndexOrd, ())                                                   \
  XBE_ENTRY(NEUTRAL, int32_t, xb_IndexTag, (const char*, const char*, const char*, int32_t))    \
  XBE_ENTRY(CALLED, int32_t, xb_IndexType, ())                                                  \
  XBE_ENTRY(CALLED, int32_t, xb_IsEncrypted, (int32_t))                                         \
  XBE_ENTRY(NEUTRAL, int32_t, xb_IsNull, (const char*))                                         \
  XBE_ENTRY(NEUTRAL, int32_t, xb_KeyAdd, (int32_t))                                             \
  XBE_ENTRY(NEUTRAL, const char*, xb_KeyData, ())                                               \
  XBE_ENTRY(NEUTRAL, int32_t, xb_KeyDrop, (int32_t))                                            \
  XBE_ENTRY(NEUTRAL, int32_t, xb_KeyLength, ())                                                 \
  XBE_ENTRY(NEUTRAL, int32_t, xb_Locate, (const char*, int32_t))                                \
  XBE_ENTRY(NEUTRAL, int32_t, xb_LockCount, ())                                                 \
  XBE_ENTRY(NEUTRAL, int32_t, xb_Locked, (int32_t))                                             \
  XBE_ENTRY(NEUTRAL, void*, xb_MemAlloc, (int32_t))                                             \
  XBE_ENTRY(CALLED, void, xb_MemDealloc, (void*))                                               \
  XBE_ENTRY(NEUTRAL, void*, xb_MemRealloc, (void*, int32_t))                                    \
  XBE_ENTRY(NEUTRAL, int32_t, xb_OpenMode, ())                                                  \
  XBE_ENTRY(CALLED, double, xb_OrderPosGet, ())                                                 \
  XBE_ENTRY(CALLED, void, xb_OrderPosSet, (double))                                             \
  XBE_ENTRY(NEUTRAL, int32_t, xb_OrderRecNo, ())                                                \
  XBE_ENTRY(NEUTRAL, void, xb_Pack, ())                                                         \
  XBE_ENTRY(CALLED, int32_t, xb_PutBlob, (const char*, const void*, int32_t))                   \
  XBE_ENTRY(CALLED, void, xb_PutRecord, (const char*))                                          \
  XBE_ENTRY(NEUTRAL, void, xb_PutString, (const char*, const char*))                            \
  XBE_ENTRY(NEUTRAL, void, xb_PutMemo, (const char*, const char*))                              \
  XBE_ENTRY(NEUTRAL, void, xb_PutDateString, (const char*, const char*))                        \
  XBE_ENTRY(NEUTRAL, void, xb_PutInteger, (const char*, int32_t))                               \
  XBE_ENTRY(NEUTRAL, void, xb_PutLong, (const char*, int32_t))                                  \
  XBE_ENTRY(NEUTRAL, void, xb_PutLogical, (const char*, int32_t))                               \
  XBE_ENTRY(NEUTRAL, void, xb_PutDouble, (const char*, double))                                 \
  XBE_ENTRY(CALLED, int32_t, xb_Query, (const char*))                                           \
  XBE_ENTRY(CALLED, int32_t, xb_QueryRecCount, ())                                              \
  XBE_ENTRY(NEUTRAL, int32_t, xb_QuerySetExact, (int32_t))                                      \
  XBE_ENTRY(CALLED, int32_t, xb_QueryTest, (const char*))                                       \
  XBE_ENTRY(NEUTRAL, void, xb_Recall, ())                                                       \
  XBE_ENTRY(CALLED, int32_t, xb_RecCount, ())                                                   \
  XBE_ENTRY(CALLED, int32_t, xb_RecNo, ())                                                      \
  XBE_ENTRY(CALLED, int32_t, xb_RecSize, ())                                                    \
  XBE_ENTRY(NEUTRAL, void, xb_Reindex, ())                                                      \
  XBE_ENTRY(CALLED, void, xb_Replace, (const char*, int32_t, const void*))                      \
  XBE_ENTRY(CALLED, int32_t, xb_Rlock, (int32_t))                                               \
  XBE_ENTRY(NEUTRAL, int32_t, xb_RYOFilterActivate, (int32_t, int32_t))                         \
  XBE_ENTRY(NEUTRAL, int32_t, xb_RYOFilterCopy, (int32_t))                                      \
  XBE_ENTRY(NEUTRAL, int32_t, xb_RYOFilterCreate, ())                                           \
  XBE_ENTRY(NEUTRAL, int32_t, xb_RYOFilterDestroy, (int32_t))                                   \
  XBE_ENTRY(NEUTRAL, int32_t, xb_RYOFilterGetBit, (int32_t, int32_t))                           \
  XBE_ENTRY(NEUTRAL, int32_t, xb_RYOFilterRestore, (int32_t))                                   \
  XBE_ENTRY(NEUTRAL, int32_t, xb_RYOFilterSave, ())                                             \
  XBE_ENTRY(NEUTRAL, int32_t, xb_RYOFilterSetBit, (int32_t, int32_t, int32_t))                  \
  XBE_ENTRY(NEUTRAL, int32_t, xb_RYOKeyAdd, (const char*, int32_t))                             \
  XBE_ENTRY(NEUTRAL, int32_t, xb_RYOKeyDrop, (const char*, int32_t))                            \
  XBE_ENTRY(CALLED, int32_t, xb_Seek, (const char*))                                            \
  XBE_ENTRY(NEUTRAL, int32_t, xb_SeekBin, (const void*, int32_t))                               \
  XBE_ENTRY(CALLED, void, xb_Select, (int32_t))                                                 \
  XBE_ENTRY(CALLED, void, xb_SetCentury, (int32_t))                                             \
  XBE_ENTRY(NEUTRAL, int32_t, xb_SetCollationRule, (int32_t))                                   \
  XBE_ENTRY(CALLED, void, xb_SetDateFormat, (int32_t))                                          \
  XBE_ENTRY(CALLED, void, xb_SetDeleted, (int32_t))                                             \
  XBE_ENTRY(CALLED, void, xb_SetEpoch, (int32_t))                                               \
  XBE_ENTRY(CALLED, void, xb_SetErrorFunc, (TXbErrorFunc))                                      \
  XBE_ENTRY(CALLED, void, xb_SetExact, (int32_t))                                               \
  XBE_ENTRY(NEUTRAL, int32_t, xb_SetFilter, (const char*))                                      \
  XBE_ENTRY(NEUTRAL, void, xb_SetGaugeFunc, (void*))                                            \
  XBE_ENTRY(NEUTRAL, void, xb_SetGaugeHook, (void*))                                            \
  XBE_ENTRY(NEUTRAL, int32_t, xb_SetHandles, (int32_t))                                         \
  XBE_ENTRY(CALLED, void, xb_SetLockTimeout, (int32_t))                                         \
  XBE_ENTRY(NEUTRAL, int32_t, xb_SetMachineCollation, ())                                       \
  XBE_ENTRY(CALLED, void, xb_SetMemoBlockSize, (int32_t))                                       \
  XBE_ENTRY(CALLED, int32_t, xb_SetOrder, (int32_t))                                            \
  XBE_ENTRY(CALLED, void, xb_SetPassword, (const char*))                                        \
  XBE_ENTRY(NEUTRAL, int32_t, xb_SetQueryBit, (int32_t, int32_t))                               \
  XBE_ENTRY(NEUTRAL, int32_t, xb_SetRelation, (const char*, const char*))                       \
  XBE_ENTRY(CALLED, int32_t, xb_SetScope, (const char*, const char*))                           \
  XBE_ENTRY(CALLED, void, xb_SetSoftSeek, (int32_t))                                            \
  XBE_ENTRY(CALLED, void, xb_SetStringType, (int32_t))                                          \
  XBE_ENTRY(CALLED, void, xb_SetTranslate, (int32_t))                                           \
  XBE_ENTRY(CALLED, void, xb_SetTurboRead, (int32_t))                                           \
  XBE_ENTRY(CALLED, void, xb_Skip, (int32_t))                                                   \
  XBE_ENTRY(NEUTRAL, void, xb_SetUDFPath, (const char*))                                        \
  XBE_ENTRY(NEUTRAL, void, xb_SetUserDelimiter, (const char*))                                  \
  XBE_ENTRY(NEUTRAL, const char*, xb_GetUDFPath, ())                                            \
  XBE_ENTRY(CALLED, int32_t, xb_SysProp, (int32_t, int32_t))                                    \
  XBE_ENTRY(CALLED, int32_t, xb_TagArea, (const char*))                                         \
  XBE_ENTRY(NEUTRAL, int32_t, xb_TagCount, ())                                                  \
  XBE_ENTRY(NEUTRAL, int32_t, xb_TagDelete, (const char*))                                      \
  XBE_ENTRY(NEUTRAL, const char*, xb_TagInfo, (int32_t))                                        \
  XBE_ENTRY(CALLED, const char*, xb_TagName, (int32_t))                                         \
  XBE_ENTRY(CALLED, void, xb_Unlock, (int32_t))                                                 \
  XBE_ENTRY(NEUTRAL, int32_t, xb_Use, (const char*, const char*, int32_t))                      \
  XBE_ENTRY(CALLED, int32_t, xb_UseEx, (const char*, const char*, int32_t, int32_t, int32_t))   \
  XBE_ENTRY(CALLED, const char*, xb_Version, ())                                                \
  XBE_ENTRY(CALLED, int32_t, xb_WorkArea, (const char*))                                        \
  XBE_ENTRY(NEUTRAL, void, xb_Zap, ())                                                          \
  XBE_ENTRY(NEUTRAL, const char*, xb_GetSystemLocale, ())                                       \
  XBE_ENTRY(NEUTRAL, const char*, xb_GetSystemCharOrder, ())                                    \
  XBE_ENTRY(NEUTRAL, int32_t, xb_SetSystemCollation, ())                                        \
  XBE_ENTRY(NEUTRAL, int32_t, xb_GetDateFormat, ())                                             \
  XBE_ENTRY(NEUTRAL, const char*, xb_DBFHeader, ())                                             \
  XBE_ENTRY(NEUTRAL, int32_t, xb_GetTranslate, ())                                              \
  XBE_ENTRY(NEUTRAL, int32_t, xb_GetCentury, ())                                                \
  XBE_ENTRY(NEUTRAL, int32_t, xb_GetHandleCount, ())                                            \
  XBE_ENTRY(NEUTRAL, int32_t, xb_GetHandles, ())
