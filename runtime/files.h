// Files known by numeric ids, and the working directory.
#pragma once

#include "file_safety.h"
#include "mxarray.h"

#include <optional>
#include <string>

// The smallest free id from 3 upward, or -1 when the file cannot be opened.
// No mode means read. A file opened for writing is written beside its target
// and takes the target's place in one step when it is closed, so that a reader
// never sees it half-written; mode "a" adds to its end in one write at
// closing. The rules for files that others can reach are file_safety's.
mxArray mlfFopen(const mxArray& name, const std::optional<mxArray>& mode = std::nullopt);
mxArray mlfFclose(const mxArray& id);
// With "%f": every number from the current position up to the first text that
// does not read as one, as a column.
mxArray mlfFscanf(const mxArray& id, const mxArray& format);
// True when nothing but blanks is left to read in a file opened for reading.
bool mclOnlyBlanksLeft(const mxArray& id);
// Applies the format to every element of the value (a text's "%s" takes the
// whole text); "\n" and "\t" in the format stand for a line end and a tab.
mxArray mlfNFprintf(const mxArray& id, const mxArray& format, const mxArray& value);
// Changes the working directory; a missing folder raises an error naming it.
void mlfNCd(const mxArray& directory);

// Number of files currently open (for tests and leak checks).
int mclOpenFileCount();
// Closes every open file; a file being written is abandoned, its target kept.
void mclCloseAllFiles();

// Enters a folder for a group of file accesses, holding the folder it starts
// from open. The group ends with the change back to ".."; that change, and
// the end of the scope when an error ends the group first, return to the held
// folder: never to the physical parent of where a linked folder led. A group
// that an error ends also closes the files it opened, so that their ids are
// free again. The folder's sync after the files it replaced is done once,
// when the scope ends.
class mclFolderScope {
public:
    explicit mclFolderScope(const mxArray& folder);
    ~mclFolderScope();
    mclFolderScope(const mclFolderScope&) = delete;
    mclFolderScope& operator=(const mclFolderScope&) = delete;
    // The normal way out: the change of directory the group ends with.
    void leave(const mxArray& parent);

private:
    int start_;
    unsigned long long serial_;
    bool inside_ = false;
    file_safety::FolderSyncBatch syncs_;
};
