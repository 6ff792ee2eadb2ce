// Recursive removal of a folder that the program made or owns.
#pragma once

// Removes the folder at path with everything in it, as far as it can, ignoring failures.
// Read-only files stay, and so do the folders above them. A link (junction or symbolic link)
// is removed itself, never followed, so the removal stays inside the folder it was given.
void RemoveTree(const char* path);
