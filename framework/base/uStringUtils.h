// Small pure routines on texts and paths shared by the splitter, the forms, the file utilities and
// the zip service. "Blank" is any code of 32 or less; character positions count from 1, 0 is absent.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/rtl/AnsiString.h"
#include "platform/rtl/StringList.h"

using Str255 = ShortString<255>;

// Reference-counted texts.
AnsiString TrimBlanks(std::string_view text);
AnsiString PadRightChar(std::string_view text, char c, int width);  // never shortens
AnsiString PadRightBlanks(std::string_view text, int width);
AnsiString PadLeftChar(std::string_view text, char c, int width);
Str255 LeftPadZeros(const Str255& text, int width);
bool IsAllDigits(std::string_view text);  // True for the empty text
bool IsDigitChar(char c);
bool HasWildcards(std::string_view text);
// Unchanged when the two sets differ in length.
AnsiString TranslateChars(std::string_view text, std::string_view fromSet, std::string_view toSet);
bool CharPresent(std::string_view text, char c);
int FindChar(std::string_view text, char c);  // 1-based, 0 when absent
// Words are maximal runs of characters not in the delimiter set; n counts from 1.
int CountWords(std::string_view text, std::string_view delimiters);
int WordPosition(int n, std::string_view text, std::string_view delimiters);  // 1-based, 0 absent
AnsiString ExtractWord(int n, std::string_view text, std::string_view delimiters);
AnsiString ProperCase(std::string_view text, std::string_view delimiters);
AnsiString ProperCasePath(std::string_view text);
AnsiString RemovePrefix(std::string_view text, std::string_view prefix);
AnsiString RemoveSuffix(std::string_view text, std::string_view suffix);
bool MatchAt(std::string_view text, std::string_view part, int position);  // 1-based
// Fields between separators: an empty text or separator has 0, else 1 + the separators found.
int CountTokens(std::string_view text, std::string_view separator);
AnsiString GetToken(int n, std::string_view text, std::string_view separator);  // n from 1
void SplitToLines(TStrings& lines, std::string_view text, std::string_view separator, bool clearFirst);
AnsiString JoinLines(const TStrings& lines, std::string_view separator);
AnsiString AppendWithSeparator(std::string_view list, std::string_view item, std::string_view separator,
                               bool alwaysSeparate, bool strip, bool join);
// On failure errorPos is the 1-based position of the bad character, length + 1 for an incomplete
// number, 256 for texts of 256 characters or more.
bool StrToLongChecked(std::string_view text, int32_t& value, int& errorPos);
AnsiString LongToStr(int32_t value);

// The application's caption prefix; empty unless set.
const AnsiString& CaptionPrefix();
void SetCaptionPrefix(const AnsiString& prefix);
AnsiString ApplyCaptionPrefix(const AnsiString& caption);

// Short texts: the same rules as their reference-counted twins, within 255 characters.
Str255 TrimShort(const Str255& text);
Str255 PadLeftShortChar(const Str255& text, char c, int width);
Str255 CharRunShort(char c, int n);
bool ShortCharPresent(const Str255& text, char c);
int FindCharShort(const Str255& text, char c);  // 1-based
Str255 InsertCharShort(const Str255& text, char c, int position);  // before 1-based position
Str255 DeleteCharShort(const Str255& text, char c);  // every occurrence
int CountWordsShort(const Str255& text, std::string_view delimiters);
int WordPositionShort(int n, const Str255& text, std::string_view delimiters);
bool ShortStrToIntChecked(const Str255& text, int16_t& value, int& errorPos);

// Paths: '/' separates, ':' is an ordinary character, there are no drives.
AnsiString ExtractFilePart(std::string_view path);    // at most 260 characters
AnsiString ExtractFolderPart(std::string_view path);  // "/" kept for the root; empty without one
AnsiString ExtractBaseName(std::string_view path);
AnsiString ExtractExtension(std::string_view path);   // without the dot
bool FindExtensionDot(std::string_view path, int& position);  // 1-based
AnsiString ReplaceExtension(std::string_view path, std::string_view extension);
// Adds the trailing separator to every non-empty path lacking one.
AnsiString EnsureTrailingBackslash(std::string_view path);
