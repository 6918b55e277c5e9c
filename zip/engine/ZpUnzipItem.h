// Extraction and testing of one zip item: the routines that the zip component plugs into the
// archive around the decompressor.
#pragma once

#include "platform/rtl/AnsiString.h"

class TStream;
class TZpZipArchive;
class TZpZipItem;

void ZpExtractToStream(TZpZipArchive& archive, TZpZipItem& item, TStream* stream);
// Writes below the archive's base folder only; a partial file that this call created is deleted.
void ZpExtractToFile(TZpZipArchive& archive, TZpZipItem& item, const AnsiString& name);
// Compares the local header with the central one, then decodes into a bit bucket.
void ZpTestItem(TZpZipArchive& archive, TZpZipItem& item);
// A stored name made safe to extract: no drive, no leading separators, no "." or ".." parts.
AnsiString ZpSafeExtractName(const AnsiString& storedName);
