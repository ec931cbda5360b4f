// One simulator per working folder: two at once would reset and then race on
// the same cost account. The editors and the console take no part in it.
#pragma once

#include <string>

// Checked by every program at start: a data/ or poly/ that is a symbolic link
// belonging to another user would take what the program writes into that
// user's folder. The message naming the first such folder, with its full
// path; empty when both may be used.
std::string foreignWorkingFolder();

// Holds data/simulateur.lock for the rest of the process (an flock, which the
// system lets go when the process ends, however it ends), then clears the
// temporaries that interrupted writes of the account left in data/. Raises an
// error naming the other process when a simulator already works there, and
// one naming the lock when it is not a regular file. A data folder the user
// cannot write is not locked: the account's own writes report it.
void holdWorkingFolder();
