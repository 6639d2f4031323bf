// Console text. Provides the printf/wprintf shells of the layer (platform.h redirects printf and
// wprintf to Printf and WPrintf), with the conversions the product prints, over vsnprintf and one
// fwrite.
#pragma once
#include "platform/posix/system/win32_types.h"

namespace platform {
// printf / wprintf for the conversions the product uses, nothing else:
//   %ls            wide text, printed through BytesFromWide so that names print as their original
//                  bytes; a null pointer prints "(null)";
//   %s, %c         narrow text and a byte, in a narrow format only;
//   %lu %llu %lx %llx  unsigned long and unsigned long long, in decimal or lower-case hexadecimal;
//   %f             a double.
// The numbers take the '0' flag, a width and a precision ("%08lx", "%.3f"); text takes none of
// them. Any other conversion, flag, width or length fails the call: it returns -1 and writes nothing.
// Nothing depends on the process locale. The text of one call is written whole with one fwrite,
// under the stream's lock. A format whose own text ends in "\n\r" is written ending in "\n" (on
// Windows that ending is CR LF CR; here the "\r" would begin the next line); the bytes of the
// arguments are never changed. Return the bytes written, or -1 for an unsupported or malformed
// format, a wide character with no byte form, or a failed write.
int Printf(const char* format, ...) __attribute__((__format__(__printf__, 1, 2)));
int WPrintf(const wchar_t* format, ...);
} // namespace platform
