// sumwise's banner and usage block.
#include "tools/Sumwise/command_line.h"

#include "common/console.h"

void PrintUsage()
{
    // The second example names a folder of the platform the program runs on.
    PrintLines({
        "Sumwise - Scalable File Hashing Utility - v1.00\n",
        kNoticeLine,
        "Usage:\n\n",
        " sumwise [options] [-md4|-md5|-sha1|-sha256|-sha384|-sha512|-crc32c|-zipcrc|-adler] filespec\n\n",
        "Options:\n\n",
        " -q\tDo not print out statistics at the end\n",
        " -c\tCheck the digests listed in the files given\n",
        " -?\tDisplay this message\n",
        "\nExamples:\n\n",
        " sumwise *.log\n",
        platform::kIsWindows ? " sumwise  -sha256 c:\\audio\\*.mp3\n" : " sumwise  -sha256 /audio/*.mp3\n",
    });
}
