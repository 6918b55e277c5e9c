#include "framework/base/TkBase.h"

#include "framework/base/TkConst.h"
#include "framework/base/TkSrMgr.h"

AnsiString TTkComponent::Version() const { return TkLibraryVersion; }

ETkException::ETkException(int32_t Code, std::initializer_list<TVarRec> Args)
    : Exception(Args.size() ? Format(TkStringById(Code), Args) : TkStringById(Code)), FErrorCode(Code) {}
