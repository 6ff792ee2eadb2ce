// The partner identifier: the first line of partner.dat beside the program.
#pragma once

// Reads PartnerId from the file at path. False when the file cannot be opened, its first
// line is empty, or the identifier cannot serve as one folder name (see IsPlainName).
bool ReadPartnerIdFile(const char* path);
