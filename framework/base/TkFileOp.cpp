#include "framework/base/TkFileOp.h"

#include "platform/rtl/Files.h"
#include "platform/rtl/ShellOps.h"

namespace {

uint32_t shellFunction(TTkFileOp op) {
  switch (op) {
    case TTkFileOp::fopCopy: return FO_COPY;
    case TTkFileOp::fopDelete: return FO_DELETE;
    case TTkFileOp::fopMove: return FO_MOVE;
    case TTkFileOp::fopRename: return FO_RENAME;
  }
  return FO_COPY;
}

uint16_t shellFlags(TTkFileOpOptions o) {
  using enum TTkFileOpOption;
  struct {
    TTkFileOpOption Option;
    uint16_t Flag;
  } const map[] = {
      {foAllowUndo, FOF_ALLOWUNDO},   {foFilesOnly, FOF_FILESONLY},         {foNoConfirmation, FOF_NOCONFIRMATION},
      {foNoConfirmMkDir, FOF_NOCONFIRMMKDIR}, {foNoErrorUI, FOF_NOERRORUI}, {foRenameCollision, FOF_RENAMEONCOLLISION},
      {foSilent, FOF_SILENT},         {foSimpleProgress, FOF_SIMPLEPROGRESS},
  };
  uint16_t flags = 0;
  for (const auto& m : map)
    if (o.Contains(m.Option)) flags |= m.Flag;
  return flags;
}

bool acceptableSource(const AnsiString& name) {
  return DirectoryExists(name) || ExtractFileName(name).find_first_of("*?") != AnsiString::npos ||
         FileExists(name);
}

}  // namespace

void TTkCustomFileOperation::SetDestination(const AnsiString& Value) {
  AnsiString d = Value;
  while (!d.empty() && d.back() == PathDelim) d.pop_back();
  FDestination = d;
}

bool TTkCustomFileOperation::Execute() {
  TSHFileOpStruct op;
  op.wFunc = shellFunction(FOperation);
  op.fFlags = shellFlags(FOptions);
  op.lpszProgressTitle = FSimpleText;

  // A blank line would end the shell's list early; it names nothing.
  std::vector<AnsiString> lines;
  for (int i = 0; i < FSourceFiles.Count(); ++i)
    if (!Trim(FSourceFiles[i]).empty()) lines.push_back(FSourceFiles[i]);
  if (lines.empty()) throw ETkFileOpError(tkNoSourceFiles);

  bool mapping = false;
  for (const AnsiString& l : lines)
    if (l.find('=') != AnsiString::npos) mapping = true;

  if (mapping) {
    if (FOperation == TTkFileOp::fopDelete) throw ETkFileOpError(tkMappingInDelete);
    for (const AnsiString& l : lines) {
      std::size_t eq = l.find('=');
      AnsiString source = eq == AnsiString::npos ? l : l.substr(0, eq);
      AnsiString target = eq == AnsiString::npos ? FDestination + PathDelim + ExtractFileName(l) : l.substr(eq + 1);
      if (FConfirmFiles && !acceptableSource(source)) throw ETkFileOpError(tkSourceFileError);
      op.From.push_back(source);
      op.To.push_back(target);
    }
    if (lines.size() > 1) op.fFlags |= FOF_MULTIDESTFILES;
  } else {
    for (const AnsiString& l : lines) {
      if (FConfirmFiles && !acceptableSource(l)) throw ETkFileOpError(tkSourceFileError);
      op.From.push_back(l);
    }
    if (FOperation != TTkFileOp::fopDelete) {
      if (FDestination.empty()) throw ETkFileOpError(tkNoDestination);
      op.To.push_back(FDestination);
    }
  }

  int code = SHFileOperation(op);
  FAborted = op.fAnyOperationsAborted;
  if (code == DE_OPCANCELLED) code = ERROR_CANCELLED;
  if (code == ERROR_NO_MORE_FILES) code = ERROR_SUCCESS;
  SetLastError(code);
  return code == ERROR_SUCCESS;
}
