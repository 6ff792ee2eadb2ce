// Replacing a folder by another one of the same volume with two renames, so that the folder's
// name always holds either the whole old contents or the whole new ones.
#pragma once

#include <string>

// Moves destination (when it exists) to set_aside, then replacement to destination. When the
// second move fails, the set-aside folder is moved back. True when replacement now stands at
// destination; the caller then removes set_aside. Both moves are renames on one volume: the
// set-aside folder's parent must exist, set_aside itself must not.
bool SwapFolderIntoPlace(const std::string& replacement, const std::string& destination,
                         const std::string& set_aside);

// Left-overs of a swap that was cut short: when destination is missing and set_aside exists,
// set_aside is moved back to destination. False when it exists and could not be moved back.
bool RestoreSetAsideFolder(const std::string& destination, const std::string& set_aside);
