// Writing a file into a folder without ever overwriting a file or leaving one half-written.
#pragma once

#include "core/Platform.h"

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace tavelin::shared::files {

// Writes bytes to folder/stem.png, or folder/stem-2.png, -3, … when the name is taken.
// The bytes go to a temporary file in the same folder first and are renamed into place only
// when complete; the rename never replaces anything, a symbolic link included.
core::FileWriteResult writeNewFile(const std::string& folder, const std::string& stem,
    const std::vector<uint8_t>& bytes);

// Writes bytes to exactly that path, the same careful way; an existing file or link there is an error.
core::FileWriteResult writeFileNoReplace(const std::string& path, const std::vector<uint8_t>& bytes);

// The two calls that move a finished file into place without replacing anything, as renameat2 and
// linkat within one folder (0, or -1 and errno). Replaceable, so tests can play a file system that
// has neither (some FUSE mounts); there the bytes are written once more, by an exclusive create at
// the final name.
struct MoveCalls {
    int (*renameNoReplace)(int dirFd, const char* from, const char* to);
    int (*hardLink)(int dirFd, const char* from, const char* to);
};
// The calls used from now on; returns those used until now.
MoveCalls setMoveCalls(MoveCalls calls);

}
