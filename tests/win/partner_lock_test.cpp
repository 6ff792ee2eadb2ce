#include "app/run/partner_lock.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

// The lock is named as the folder is compared: letter case does not count, in any alphabet,
// and by no one language's rules. The tests run under the program's manifest, so its text is
// UTF-8 as the program's is.
TEST(PartnerLockName, FoldsTheIdentifierAsFolderNamesCompare) {
  ASSERT_EQ(GetACP(), static_cast<UINT>(CP_UTF8)) << "the manifest's code page is not in force";
  const struct {
    const char* id;
    const wchar_t* name;
  } cases[] = {
      {"acme", L"Local\\OrvexDownload.ACME"},
      {"AcMe 2.0_x", L"Local\\OrvexDownload.ACME 2.0_X"},
      {"caf\xc3\xa9-\xc3\xbf", L"Local\\OrvexDownload.CAF\u00c9-\u0178"},
      {"\xd0\xb4\xd0\xbc\xd0\xb8\xd1\x82\xd1\x80\xd0\xb8\xd0\xb9",
       L"Local\\OrvexDownload.\u0414\u041c\u0418\u0422\u0420\u0418\u0419"},
      {"stra\xc3\x9f"
       "e",
       L"Local\\OrvexDownload.STRA\u00dfE"},  // no letter becomes two
      {"i", L"Local\\OrvexDownload.I"},       // never a dotted capital I
  };
  for (const auto& c : cases) EXPECT_EQ(std::wstring(PartnerLockName(c.id).data()), c.name) << c.id;
}

}  // namespace
