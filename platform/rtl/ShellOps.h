// The shell's services over the file system: file operations on lists of files, and opening a document or address.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/rtl/AnsiString.h"
#include "platform/rtl/ErrorCodes.h"

// Operations and flags keep the shell's numbers.
constexpr uint32_t FO_MOVE = 0x0001;
constexpr uint32_t FO_COPY = 0x0002;
constexpr uint32_t FO_DELETE = 0x0003;
constexpr uint32_t FO_RENAME = 0x0004;

constexpr uint16_t FOF_MULTIDESTFILES = 0x0001;
constexpr uint16_t FOF_CONFIRMMOUSE = 0x0002;
constexpr uint16_t FOF_SILENT = 0x0004;
constexpr uint16_t FOF_RENAMEONCOLLISION = 0x0008;
constexpr uint16_t FOF_NOCONFIRMATION = 0x0010;
constexpr uint16_t FOF_WANTMAPPINGHANDLE = 0x0020;
constexpr uint16_t FOF_ALLOWUNDO = 0x0040;
constexpr uint16_t FOF_FILESONLY = 0x0080;
constexpr uint16_t FOF_SIMPLEPROGRESS = 0x0100;
constexpr uint16_t FOF_NOCONFIRMMKDIR = 0x0200;
constexpr uint16_t FOF_NOERRORUI = 0x0400;

// Besides the platform's error numbers (ErrorCodes.h), the shell's own result codes.
constexpr int DE_SAMEFILE = 0x71;       // source and destination are the same file
constexpr int DE_OPCANCELLED = 0x75;    // a confirmation was declined
constexpr int DE_DESTSUBTREE = 0x76;    // a folder copied or moved into itself

struct TSHFileOpStruct {
  uint32_t wFunc = FO_COPY;
  std::vector<AnsiString> From;  // names, or wildcards in the last part
  std::vector<AnsiString> To;    // one destination, or one per source with FOF_MULTIDESTFILES
  uint16_t fFlags = 0;
  bool fAnyOperationsAborted = false;
  AnsiString lpszProgressTitle;
};

// Runs without a user interface: a confirmation that would have to be asked (replace a file,
// create a folder) is declined, which ends the operation with DE_OPCANCELLED and sets
// fAnyOperationsAborted. FOF_NOCONFIRMATION answers every question with yes; FOF_NOCONFIRMMKDIR
// answers the folder question. There is no recycle bin, so deletes are final.
int SHFileOperation(TSHFileOpStruct& op);

// The text of one of the platform's error numbers or the shell's result codes above.
AnsiString ShellErrorMessage(int code);

// Opens a document or web address with the desktop's handler (xdg-open), without waiting for it.
// Returns a value above 32 on success; SE_ERR_FNF when no handler is installed.
constexpr int SE_ERR_FNF = 2;
constexpr int SE_ERR_NOASSOC = 31;
int ShellExecute(const AnsiString& Operation, const AnsiString& File);
