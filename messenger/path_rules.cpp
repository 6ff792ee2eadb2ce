#include "messenger/path_rules.h"

#include <cstring>

bool IsFullyQualifiedFolder(const char* folder) {
  if (folder == nullptr) return false;
  const unsigned char drive = static_cast<unsigned char>(folder[0]);
  const bool is_letter = (drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z');
  if (is_letter && folder[1] == ':') return folder[2] == '\0' || folder[2] == '\\';
  return folder[0] == '\\' && folder[1] == '\\';
}

bool ComposeTempFolderPath(const char* temp_path, const char* partner_id, char* out,
                           std::size_t out_size) {
  if (out_size == 0) return false;
  out[0] = '\0';
  const std::size_t temp_length = std::strlen(temp_path);
  const bool needs_separator = temp_length == 0 || temp_path[temp_length - 1] != '\\';
  const std::size_t length = temp_length + (needs_separator ? 1 : 0) + std::strlen(partner_id);
  if (length >= out_size) return false;
  std::memcpy(out, temp_path, temp_length);
  std::size_t at = temp_length;
  if (needs_separator) out[at++] = '\\';
  std::memcpy(out + at, partner_id, std::strlen(partner_id) + 1);
  return true;
}
