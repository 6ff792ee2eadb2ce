// Which names share one file in a folder, as Windows compares them: the folder rows of the
// example lines the partner tool shares (tests/support/wizard_rules.txt), checked on real files
// created new, as the wizard creates every file it downloads.
#include <gtest/gtest.h>

#include <string>

#include "base/output_file.h"
#include "test_folders.h"
#include "tests/support/wizard_rule_examples.h"

namespace {

TEST(FolderNames, ExampleLinesGiveTheirVerdicts) {
  int checked = 0;
  for (const RuleExample& example : ReadRuleExamples()) {
    if (example.rule != "folder") continue;
    TempTestFolder folder("orvex-folder-names");
    std::string verdict = "ok";
    for (const std::string& name : example.fields) {
      OutputFile file;
      if (!file.CreateNew((folder / name).c_str())) {
        verdict = "refused " + name;
        break;
      }
    }
    EXPECT_EQ(verdict, example.verdict) << example.line;
    ++checked;
  }
  EXPECT_GT(checked, 0) << "no folder rows in tests/support/wizard_rules.txt";
}

}  // namespace
