// Who holds a lock: a save that waited in vain for a folder's lock names the process, so
// the user can tell their own second window from another user's.
#pragma once

#include <string>

// The process holding a BSD lock (flock) on the file open at fd, as "process 1234
// (kalvix-cli) of the user alice"; empty when the system does not tell.
std::string LockHolderText(int fd);
