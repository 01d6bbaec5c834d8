// Files in a folder private to the user (the recovery copies, the preferences): the folder is
// refused when it is a link, when another user owns it or when others may write to it, and is
// narrowed to mode 700; the files in it are read and written without following links, so that
// nothing planted there can redirect a write.
//
// Threads: any; each call stands alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The program's folder under a base directory of the user's: "$<variable>/tavomix" when the
// variable holds an absolute path, else "<home>/<underHome>/tavomix" (XDG_CONFIG_HOME with
// ".config", XDG_STATE_HOME with ".local/state").
std::string UserFolder(const char* variable, const char* underHome);

// Opens `folder`, creating it and its missing parents (mode 700) when `create` is set, and
// checks it. Returns a descriptor the caller closes, or -1 with the reason in `why`
// ("<folder>: <what is wrong>"); a missing folder that was not to be created leaves `why` empty.
int OpenPrivateFolder(const std::string& folder, bool create, std::string& why);

// Writes `size` bytes to the file `name` in the open folder: into a new file made exclusively
// (mode 600), synced, then renamed over `name` (a link at `name` is replaced, never followed).
// False with the reason in `why`; nothing is left behind then.
bool WriteFileIn(int folder, const std::string& name, const void* data, size_t size,
                 std::string& why);

// Reads at most `limit` bytes of the regular file `name` in the open folder, never through a
// link. False when it is missing, a link, not a regular file or unreadable.
bool ReadFileIn(int folder, const std::string& name, size_t limit, std::vector<uint8_t>& out);
