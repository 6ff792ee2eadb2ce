// The wizard's own functions against the example lines it shares with the partner tool, so
// that the tool's copy of each rule cannot drift from the program's.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>
#include <string>

#include "app/inputs/partner_id.h"
#include "app/inputs/setup_digest.h"
#include "app/trust/setup_vouchers.h"
#include "app/trust/sha256_sums.h"
#include "base/plain_names.h"
#include "messenger/skin_settings.h"
#include "net/http/url.h"
#include "net/request/redirect.h"
#include "tests/support/wizard_rule_examples.h"

namespace {

using Fields = std::vector<std::string>;

std::string Accepted(bool ok) {
  return ok ? "ok" : "refused";
}

std::string RequestVerdict(const Fields& f) {
  const Url url(f.at(0).c_str());
  if (!url.HasSupportedScheme()) return "unsupported";
  return url.malformed ? "malformed" : url.Authority() + " " + url.RequestTarget();
}

std::string RedirectVerdict(const Fields& f) {
  const RedirectStep step = NextRedirect(Url(f.at(0).c_str()), f.at(1), std::stoi(f.at(2)));
  switch (step.refusal) {
    case TransferError::None:
      return "to " + step.target;
    case TransferError::RedirectMalformed:
      return "malformed";
    case TransferError::RedirectRefused:
      return "refused";
    case TransferError::TooManyRedirects:
      return "too many";
    default:
      return "unexpected";
  }
}

std::string SetupVerdict(const Fields& f) {
  const char* voucher =
      SetupVoucher({f.at(0) == "digest", f.at(1).rfind("signed", 0) == 0,
                    f.at(1).find("https") != std::string::npos, f.at(2) == "https"});
  return voucher ? voucher : "authenticode";
}

std::string SkinVerdict(const Fields& f) {
  const SkinSettings s = ReadSkinSettings(f.at(0).data(), f.at(0).size());
  return std::to_string(s.Anchore) + " " + std::to_string(s.Stretch) + " " +
         std::to_string(s.BackgroundTransparency) + " " + std::to_string(s.SelectionTransparency);
}

std::string SumsVerdict(const Fields& f) {
  const std::optional<Sha256Digest> digest = SumFor(ReadSha256Sums(f.at(1)), f.at(0));
  return digest ? DigestText(*digest) : "none";
}

TEST(WizardRules, ExampleLinesGiveTheirVerdicts) {
  const std::map<std::string, std::function<std::string(const Fields&)>> rules = {
      {"name", [](const Fields& f) { return Accepted(IsPlainName(f.at(0).c_str(), true)); }},
      {"partner",
       [](const Fields& f) { return Accepted(PartnerId::From(f.at(0), true).has_value()); }},
      {"digest",
       [](const Fields& f) {
         Sha256Digest digest{};
         return Accepted(ParseDigestWord(f.at(0), &digest));
       }},
      {"sums", SumsVerdict},
      {"request", RequestVerdict},
      {"redirect", RedirectVerdict},
      {"status",
       [](const Fields& f) {
         return std::string(IsFollowedRedirect(std::stoi(f.at(0))) ? "" : "not ") + "followed";
       }},
      {"setup", SetupVerdict},
      {"skin", SkinVerdict},
  };
  const auto examples = ReadRuleExamples();
  ASSERT_GT(examples.size(), 50u) << "tests/support/wizard_rules.txt cannot be read";
  std::set<std::string> checked;
  for (const RuleExample& example : examples) {
    // Names in one folder are the file system's rule: tests/win checks them on it.
    if (example.rule == "folder") continue;
    const auto rule = rules.find(example.rule);
    if (rule == rules.end()) {
      ADD_FAILURE() << "no rule named so: " << example.line;
      continue;
    }
    EXPECT_EQ(rule->second(example.fields), example.verdict) << example.line;
    checked.insert(example.rule);
  }
  EXPECT_EQ(checked.size(), rules.size()) << "a rule without examples";
}

}  // namespace
