#include "zip/engine/ZpZipHelper.h"

#include "zip/engine/ZpExceptions.h"

TZpZipHelper::TZpZipHelper(TStream* source, TZpZDecoder* encryptor, TStream* output)
    : FSource(source), FEncryptor(encryptor), FOutput(output) {}
TZpZipHelper::~TZpZipHelper() = default;
void TZpZipHelper::Execute() { throw EZpZipUnsupported(); }
