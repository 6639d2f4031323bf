// Internal to the layer: opening for reading a file that the thread has just looked up by name
// (FindFirstFileExW of one file), through the folder it is in, which the thread holds open from
// the previous file it opened there. A program that looks each file up before it opens it (so
// that it never opens a device by mistake) then walks each path once, not twice: across a run of
// small files in deep folders the second walk costs about a twentieth of all the work.
#pragma once
#include <string>
#include <sys/stat.h>

namespace platform {

// Called as a lookup starts: what an earlier one found no longer counts.
void ForgetLookedUpFile();

// Records what the lookup of `path` (a PathBytes result) found there; only a regular file is
// ever opened through the held folder, and only by the thread's next open.
void NoteLookedUpFile(const std::string& path, const struct stat& info);

// For an open of `path` for reading with `flags` (openat's): a descriptor on the very file that
// the thread's last lookup found at `path`, opened through the folder held for it, with `info`
// its fstat; -1 when this way does not apply, so that the caller opens `path` as ever. The file
// opened must have the lookup's device, inode and change time: a held folder that was renamed
// or replaced meanwhile never hands over another file. A link in it is never followed (the
// caller's own open follows links as Windows follows reparse points), so a device behind one is
// never opened this way.
int OpenLookedUpFile(const std::string& path, int flags, struct stat& info);

} // namespace platform
