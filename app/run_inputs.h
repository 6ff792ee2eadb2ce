// The download list beside the program and the downloaded index file.
#pragma once

#include <string>

// Refills PackageTitle and FileList from the download list file at path; returns the number
// of entries in FileList (0 when the file cannot be opened).
int ReadDownloadListFile(const char* path);

// Reads the index file at path: its first word replaces url_text (the package base URL), its
// second replaces SetupUrl, its third (or nothing) replaces SetupDigestWord. False, changing
// nothing, when the file cannot be opened.
bool ReadIndexFile(const char* path, std::string& url_text);
