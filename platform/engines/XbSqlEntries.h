// The entry points of the SQL engine "xbesql7.DLL". A statement is prepared over a set of xBase
// tables (the table list and parameters in the byte layouts the server request uses), opened,
// and read back as whole records: per field a state byte (1 = has a value) and its data.
// Texts are zero-terminated 8-bit strings; message buffers hold xbSqlMessageSize bytes.
#pragma once

#include <cstdint>

constexpr int32_t xbSqlMessageSize = 256;

// Data-type codes of the parameter stream: the class library's field-type ordinals.
constexpr int32_t xbSqlTypeString = 1;
constexpr int32_t xbSqlTypeSmallint = 2;
constexpr int32_t xbSqlTypeInteger = 3;
constexpr int32_t xbSqlTypeWord = 4;
constexpr int32_t xbSqlTypeBoolean = 5;
constexpr int32_t xbSqlTypeFloat = 6;
constexpr int32_t xbSqlTypeCurrency = 7;
constexpr int32_t xbSqlTypeDate = 8;
constexpr int32_t xbSqlTypeTime = 9;
constexpr int32_t xbSqlTypeDateTime = 10;
constexpr int32_t xbSqlTypeMemo = 11;
constexpr int32_t xbSqlTypeBlob = 12;

// Date values in records and parameters are day numbers counted from 1 January of year 1 (that
// day is 1); date-times are days since 30 December 1899 with the time as fraction.
constexpr int32_t xbSqlDateDelta = 693594;

// The data bytes a field of the type letter takes in a record, after its state byte: a text its
// width and a terminating zero; memos and blobs are read apart and take none.
constexpr int32_t xbSqlDataBytes(char type, int32_t width) {
  switch (type) {
    case 'C': return width + 1;
    case 'D':
    case 'I': return 4;
    case 'F':
    case 'N': return 8;
    case 'L': return 2;
    default: return 0;
  }
}

// XBSQL_ENTRY(result, name, parameters)
#define XBSQL_ENTRIES                                                                                         \
  XBSQL_ENTRY(int32_t, dll_sql_GetStructure, (int32_t handle, char* buffer, int32_t size))                    \
  XBSQL_ENTRY(int32_t, dll_sql_GetRecord,                                                                     \
              (int32_t handle, int32_t first, int32_t count, char* buffer, int32_t size))                     \
  XBSQL_ENTRY(int32_t, dll_sql_Prepare,                                                                       \
              (const char* dataPath, int32_t century, const char* dateFormat, int32_t deleted,                \
               int32_t readOnly, int32_t memoBlockSize, int32_t tableType, const char* password,              \
               int32_t oemTranslate, int32_t commitLevel, const char* tableList, int32_t tableListSize,       \
               const char* params, int32_t paramsSize, char* message))                                        \
  XBSQL_ENTRY(int32_t, dll_sql_OpenSQL,                                                                       \
              (int32_t handle, const char* sql, int32_t* recordCount, int32_t* fieldCount,                    \
               int32_t* recordSize, char* message))                                                           \
  XBSQL_ENTRY(int32_t, dll_sql_ExecSQL, (int32_t handle, const char* sql, char* message))                     \
  XBSQL_ENTRY(void, dll_sql_CloseSQL, (int32_t handle))                                                       \
  XBSQL_ENTRY(void, dll_sql_UnPrepareSQL, (int32_t handle))                                                   \
  XBSQL_ENTRY(int32_t, dll_sql_ReadBlobData,                                                                  \
              (int32_t handle, int32_t recordId, int32_t fieldNo, char* buffer, int32_t size))                \
  XBSQL_ENTRY(int32_t, dll_sql_RecCount, (int32_t handle))

// Results:
// - Prepare answers a handle above 0, or 0 with the reason in message.
// - OpenSQL answers 0, or an error code above 0 with the reason in message.
// - GetStructure writes three lines per field (name, type letter, width in hexadecimal), each
//   ended by CR LF, and answers the whole text's length; nothing is written when size is short.
// - GetRecord writes the row count as eight hexadecimal digits, then per row its identifier
//   (eight hexadecimal digits) and the record; it answers the bytes written, 0 when the buffer
//   is too small or the handle unknown. Row identifiers are the rows' numbers from 1.
// - ReadBlobData answers the value's length and copies it when size allows; -1 for a row or
//   field that does not exist.
