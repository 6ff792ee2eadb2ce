#include "app/partner_lock.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

// The lock is named as the folder is compared: letter case does not count, in any alphabet
// the ANSI code page holds, and by no one language's rules.
TEST(PartnerLockName, FoldsTheIdentifierAsFolderNamesCompare) {
  ASSERT_EQ(GetACP(), 1252u) << "the rows below are written in Windows-1252";
  const struct {
    const char* id;
    const wchar_t* name;
  } cases[] = {
      {"acme", L"Local\\OrvexDownload.ACME"},
      {"AcMe 2.0_x", L"Local\\OrvexDownload.ACME 2.0_X"},
      {"caf\xe9-\xff", L"Local\\OrvexDownload.CAF\u00c9-\u0178"},
      {"stra\xdf"
       "e",
       L"Local\\OrvexDownload.STRA\u00dfE"},  // no letter becomes two
      {"i", L"Local\\OrvexDownload.I"},       // never a dotted capital I
  };
  for (const auto& c : cases) EXPECT_EQ(std::wstring(PartnerLockName(c.id).data()), c.name) << c.id;
}

}  // namespace
