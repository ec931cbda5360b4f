// Files known by numeric ids, and the working directory.
#pragma once

#include "mxarray.h"

#include <optional>
#include <string>

// The smallest free id from 3 upward, or -1 when the file cannot be opened.
// No mode means read. A file opened for writing is written beside its target
// and takes the target's place in one step when it is closed, so that a reader
// never sees it half-written.
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

// Enters a folder for a group of file accesses. The group ends with an
// explicit change back (mlfNCd("..")); if an error ends it first, leaving the
// scope returns to the folder the group started from, so that the next action
// starts where the last one did.
class mclFolderScope {
public:
    explicit mclFolderScope(const mxArray& folder);
    ~mclFolderScope();
    mclFolderScope(const mclFolderScope&) = delete;
    mclFolderScope& operator=(const mclFolderScope&) = delete;
    // The normal way out: the change of directory the group ends with.
    void leave(const mxArray& parent);

private:
    std::string start_;
    bool inside_ = false;
};
