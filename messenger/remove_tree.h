// Recursive removal of a folder that the program made or owns.
#pragma once

// Removes the folder at path with everything in it, as far as it can, ignoring failures.
// Read-only files stay, and so do the folders above them. A link (junction or symbolic link)
// is removed itself, never followed, so the removal stays inside the folder it was given.
void RemoveTree(const char* path);

// RemoveTree for a folder that only the program writes into (its staging folders beside the
// partner folders): a read-only file or folder in it is made writable first, so that it cannot
// keep the folder, and with it every later installation, in place. A link's own attributes
// are left as they are and its target is never touched.
void RemoveOwnTree(const char* path);
