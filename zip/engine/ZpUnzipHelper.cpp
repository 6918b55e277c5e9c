#include "zip/engine/ZpUnzipHelper.h"

#include "zip/engine/ZpExceptions.h"

TZpUnzipHelper::TZpUnzipHelper(TStream* input, TStream* output, TZpZDecoder* decryptor)
    : FInput(input), FOutput(output), FDecryptor(decryptor) {}
TZpUnzipHelper::~TZpUnzipHelper() = default;
uint32_t TZpUnzipHelper::Execute() { throw EZpZipInvalidMethod(); }
