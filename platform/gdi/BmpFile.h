// BMP files (1, 4, 8, 24 and 32 bits, core and info headers) and PNG images for a look.
#pragma once

#include "platform/gdi/Bitmap.h"
#include "platform/rtl/Streams.h"

// Reads a BMP from the stream's position; a file that is not a valid bitmap raises
// EInvalidGraphic "Bitmap image is not valid".
TGdiBitmap ReadBmp(TStream& stream);
TGdiBitmap LoadBmpFile(const AnsiString& fileName);
// Writes the bitmap at its own depth and palette, bottom-up, with an info header.
void WriteBmp(const TGdiBitmap& bitmap, TStream& stream);
void SaveBmpFile(const TGdiBitmap& bitmap, const AnsiString& fileName);
// Writes a 24-bit colour PNG; raises EFCreateError when the file cannot be made.
void SavePngFile(const TGdiBitmap& bitmap, const AnsiString& fileName);
