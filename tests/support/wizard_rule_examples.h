// The example lines of tests/support/wizard_rules.txt: per line a rule, the wizard's verdict
// and the input's fields, shared with the partner tool's tests so that both read as one.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

struct RuleExample {
  std::string rule;
  std::string verdict;
  std::vector<std::string> fields;  // unescaped
  std::string line;                 // as written, for messages
};

// A field's escapes (\xNN, \r, \n, \t, \\) as the bytes they stand for.
inline std::string UnescapeExampleField(const std::string& text) {
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      bytes += text[i];
      continue;
    }
    const char kind = text[++i];
    if (kind == 'x' && i + 2 < text.size()) {
      bytes += static_cast<char>(std::strtol(text.substr(i + 1, 2).c_str(), nullptr, 16));
      i += 2;
    } else {
      bytes += kind == 'r' ? '\r' : kind == 'n' ? '\n' : kind == 't' ? '\t' : kind;
    }
  }
  return bytes;
}

inline std::string TrimExampleField(const std::string& text) {
  const std::size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string::npos) return "";
  return text.substr(begin, text.find_last_not_of(" \t\r") + 1 - begin);
}

// Every example line; none when the file cannot be read (the caller fails on that).
inline std::vector<RuleExample> ReadRuleExamples() {
#ifdef _WIN32
  // Under Wine the source tree is on drive Z:.
  const std::string path = std::string("Z:") + ORVEX_SOURCE_DIR "/tests/support/wizard_rules.txt";
#else
  const std::string path = ORVEX_SOURCE_DIR "/tests/support/wizard_rules.txt";
#endif
  std::vector<RuleExample> examples;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return examples;
  std::string text;
  char block[4096];
  for (std::size_t got; (got = std::fread(block, 1, sizeof block, file)) > 0;) {
    text.append(block, got);
  }
  std::fclose(file);
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = TrimExampleField(text.substr(start, end - start));
    start = end + 1;
    if (line.empty() || line[0] == '#') continue;
    RuleExample example;
    example.line = line;
    std::vector<std::string> parts;
    for (std::size_t at = 0;;) {
      const std::size_t bar = line.find('|', at);
      parts.push_back(UnescapeExampleField(TrimExampleField(line.substr(at, bar - at))));
      if (bar == std::string::npos) break;
      at = bar + 1;
    }
    example.rule = parts[0];
    example.verdict = parts.size() > 1 ? parts[1] : "";
    example.fields.assign(parts.begin() + (parts.size() > 1 ? 2 : 1), parts.end());
    examples.push_back(example);
  }
  return examples;
}
