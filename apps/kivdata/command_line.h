// The arguments of one kivdata command: positional arguments, "--name value" (or
// "--name=value") options, and --help.
#pragma once

#include <map>
#include <string>
#include <vector>

// Exit codes of the tool.
constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

struct ParsedArguments {
  std::vector<std::string> positional;
  std::map<std::string, std::string> options;  // by name without the dashes

  bool has(const std::string& option) const { return options.count(option) > 0; }
  std::string option(const std::string& name, const std::string& fallback = "") const;
};

struct CommandSyntax {
  size_t requiredPositional = 0;
  size_t optionalPositional = 0;
  std::vector<std::string> options;  // names without the dashes; every option takes a value
};

enum class ParseResult { Run, Help, Usage };

// Help wins over everything else; otherwise an unknown option, an option without its value,
// a repeated option or a wrong number of positional arguments gives Usage with `problem`.
// "-" is a positional argument (standard input or output); "--" ends the options.
ParseResult parseArguments(const CommandSyntax& syntax, const std::vector<std::string>& arguments,
                           ParsedArguments& parsed, std::string& problem);

// The value of an integer option within [low, high]; false with `problem` when it is not a
// whole number in range. An absent option gives `fallback`.
bool integerOption(const ParsedArguments& parsed, const std::string& name, long long low,
                   long long high, long long fallback, long long& value, std::string& problem);

// A whole decimal number with an optional sign, nothing else; false when out of [low, high].
bool parseInteger(const std::string& text, long long low, long long high, long long& value);
