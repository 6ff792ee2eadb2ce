// The example lines of tests/support/wizard_rules.txt: per line a rule, the wizard's verdict
// and the input's fields, shared with the partner tool's tests so that both read as one.
#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

struct RuleExample {
  std::string rule, verdict, line;
  std::vector<std::string> fields;  // their escapes (\xNN, \r, \n, \t, \\) undone
};

inline std::string ExampleField(const std::string& text) {
  const std::size_t begin = text.find_first_not_of(" \t");
  const std::size_t end = text.find_last_not_of(" \t\r");
  std::string bytes;
  for (std::size_t i = begin; begin != std::string::npos && i <= end; ++i) {
    const char c = text[i] == '\\' && i < end ? text[++i] : '\0';
    if (c == 'x') {
      bytes += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      bytes += c == 'r' ? '\r' : c == 'n' ? '\n' : c == 't' ? '\t' : c ? c : text[i];
    }
  }
  return bytes;
}

// Every example line; none when the file cannot be read (the caller fails on that).
inline std::vector<RuleExample> ReadRuleExamples() {
#ifdef _WIN32
  std::ifstream file("Z:" ORVEX_SOURCE_DIR "/tests/support/wizard_rules.txt");  // Wine's Z: is /
#else
  std::ifstream file(ORVEX_SOURCE_DIR "/tests/support/wizard_rules.txt");
#endif
  std::vector<RuleExample> examples;
  for (std::string line; std::getline(file, line);) {
    if (line.empty() || line[0] == '#' || line == "\r") continue;
    std::vector<std::string> parts;
    std::istringstream fields(line);
    for (std::string part; std::getline(fields, part, '|');) parts.push_back(ExampleField(part));
    if (line.back() == '|') parts.emplace_back();  // an empty last field
    examples.push_back({parts.at(0), parts.at(1), line, {parts.begin() + 2, parts.end()}});
  }
  return examples;
}
