#include "command_line.h"

#include <algorithm>

std::string ParsedArguments::option(const std::string& name, const std::string& fallback) const {
  auto found = options.find(name);
  return found == options.end() ? fallback : found->second;
}

ParseResult parseArguments(const CommandSyntax& syntax, const std::vector<std::string>& arguments,
                           ParsedArguments& parsed, std::string& problem) {
  parsed = ParsedArguments{};
  for (const std::string& argument : arguments) {
    if (argument == "--") break;
    if (argument == "--help" || argument == "-h") return ParseResult::Help;
  }
  bool optionsEnded = false;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (optionsEnded || argument == "-" || argument.empty() || argument[0] != '-') {
      parsed.positional.push_back(argument);
      continue;
    }
    if (argument == "--") {
      optionsEnded = true;
      continue;
    }
    std::string name = argument.substr(argument.rfind("--", 0) == 0 ? 2 : 1);
    std::string value;
    bool hasValue = false;
    if (size_t equals = name.find('='); equals != std::string::npos) {
      value = name.substr(equals + 1);
      name.resize(equals);
      hasValue = true;
    }
    if (std::find(syntax.options.begin(), syntax.options.end(), name) == syntax.options.end()) {
      problem = "unknown option " + argument;
      return ParseResult::Usage;
    }
    if (!hasValue) {
      if (i + 1 >= arguments.size()) {
        problem = "option --" + name + " needs a value";
        return ParseResult::Usage;
      }
      value = arguments[++i];
    }
    if (parsed.has(name)) {
      problem = "option --" + name + " given twice";
      return ParseResult::Usage;
    }
    parsed.options[name] = value;
  }
  size_t count = parsed.positional.size();
  if (count < syntax.requiredPositional) {
    problem = "missing arguments";
    return ParseResult::Usage;
  }
  if (count > syntax.requiredPositional + syntax.optionalPositional) {
    problem = "unexpected argument " + parsed.positional[syntax.requiredPositional +
                                                         syntax.optionalPositional];
    return ParseResult::Usage;
  }
  return ParseResult::Run;
}

bool parseInteger(const std::string& text, long long low, long long high, long long& value) {
  size_t at = 0;
  bool negative = false;
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) negative = text[at++] == '-';
  if (at == text.size()) return false;
  long long magnitude = 0;
  for (; at < text.size(); ++at) {
    char c = text[at];
    if (c < '0' || c > '9') return false;
    if (magnitude > 100000000000000000LL) return false;  // far beyond any range used here
    magnitude = magnitude * 10 + (c - '0');
  }
  value = negative ? -magnitude : magnitude;
  return value >= low && value <= high;
}

bool integerOption(const ParsedArguments& parsed, const std::string& name, long long low,
                   long long high, long long fallback, long long& value, std::string& problem) {
  if (!parsed.has(name)) {
    value = fallback;
    return true;
  }
  if (parseInteger(parsed.option(name), low, high, value)) return true;
  problem = "--" + name + " must be a whole number from " + std::to_string(low) + " to " +
            std::to_string(high) + ", not \"" + parsed.option(name) + "\"";
  return false;
}
