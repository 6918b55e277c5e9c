// Numbers of the tool library's texts in its string table, and the library's fixed version.
#pragma once

constexpr const char* TkLibraryVersion = "3.02";

// Names of the library's string tables.
constexpr const char* TkStringsEnglish = "TOOLKIT_STRINGS_ENGLISH";
constexpr const char* TkSrMgrStrings = "TKSRMGR_STRINGS";

constexpr int tkErrorOpeningFile = 73;
constexpr int tkNoVersionInfo = 100;
constexpr int tkUnableToReadVersionInfo = 101;
constexpr int tkNoSourceFiles = 111;
constexpr int tkNoDestination = 112;
constexpr int tkMappingInDelete = 131;
constexpr int tkSourceFileError = 132;
constexpr int tkVersionKeyNotFound = 134;
