// Routines over NUL-terminated 8-bit buffers; positions count from 0 and the caller
// guarantees room for whatever is inserted.
#pragma once

#include <cstdint>

char* ExpandTabsInto(char* Dest, const char* Src, uint8_t TabSize);

void BuildSkipTable(const char* Pattern, uint8_t Table[256]);
bool SkipTableSearch(const char* Buffer, int BufLength, const uint8_t Table[256], int& Pos, const char* Pattern);
// Pattern and Table must be made from the upper-cased pattern.
bool SkipTableSearchNoCase(const char* Buffer, int BufLength, const uint8_t Table[256], int& Pos,
                           const char* Pattern);

bool FindCharPos(const char* S, char Ch, int& Pos);
bool FindTextPos(const char* S, const char* Sub, int& Pos);

char* InsertCharAt(char* S, char Ch, int Pos);
char* InsertTextAt(char* S, const char* Sub, int Pos);
void InsertCharRun(char* S, char Ch, int Pos, int Count);
char* DeleteCharAt(char* S, int Pos);
char* DeleteCharsAt(char* S, int Pos, int Count);
void CopyCharsFrom(char* Dest, const char* S, int Pos, int Count);

void StripSpaces(char* S);
char* StripTrailingControls(char* S);
void StripTrailingZeros(char* S);
void StripExponentZeros(char* S);

// False leaves in Value the 0-based position of the offending character (-1 for a text too long).
bool ParseLongText(const char* S, int32_t& Value);

char* FormatBinary32(char* Dest, uint32_t Value);
char* FormatOctal32(char* Dest, uint32_t Value);
char* FormatHex16(char* Dest, uint16_t Value);
char* FormatHex32(char* Dest, uint32_t Value);

char UpperChar(char Ch);
char LowerChar(char Ch);
