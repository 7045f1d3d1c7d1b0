// Linux: the registry's file on disk, beneath the .reg format: where it is,
// how it is read and replaced safely, and what went wrong, in words.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <sys/types.h>

// The store as read: its text, and what a save must keep of the file.
struct StoreFile {
    std::string path;   // the file itself: where a symbolic link to it leads
    std::string text;   // its bytes; a UTF-16LE file's as UTF-8, byte order mark included
    bool exists = false; // false: no file yet, and text is empty
    bool utf16 = false;  // written back as UTF-16LE
    uid_t owner = 0;
    gid_t group = 0;
    mode_t mode = 0;
};

// Finds the store and reads it; a missing file reads as empty.
LSTATUS ReadStore(StoreFile &file);

// Whether a save could land: no file yet, or both the file and its folder writable.
bool StoreWritable(const StoreFile &file);
// The same, said as a failure when not.
LSTATUS CheckWritable(const StoreFile &file);

// A read-modify-write of the store under its lock: change gets the file as it
// is now and edits its text; a changed text then replaces the file atomically.
LSTATUS UpdateStore(const std::function<LSTATUS(StoreFile &)> &change);

// Notes a failure of the store: named once on stderr as "vantrel: FILE: what"
// (or FILE:LINE for a line that cannot be parsed) and kept for FormatMessageA.
// Returns code.
LSTATUS StoreFailure(LSTATUS code, const std::string &file, size_t line, const std::string &what);
