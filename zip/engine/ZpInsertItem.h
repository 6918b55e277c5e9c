// Compression of one new zip item into the archive being saved: the routines that the zip
// component plugs into the archive around the compressor.
#pragma once

class TStream;
class TZpZipArchive;
class TZpZipItem;

// From the item's disk file; the item gets its CRC, sizes, method, versions, time and attributes.
void ZpInsertFromFile(TZpZipArchive& archive, TZpZipItem& item, TStream& output);
// From a stream (from its start); the item gets the current time and no attributes.
void ZpInsertFromStream(TZpZipArchive& archive, TZpZipItem& item, TStream& output, TStream* source);
