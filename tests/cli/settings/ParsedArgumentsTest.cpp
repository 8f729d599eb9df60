#include <gtest/gtest.h>

#include "cli/console/CLIError.hpp"
#include "cli/settings/ParsedArguments.hpp"

using bosun::CLIError;
using bosun::ExitCode;
using bosun::ParsedArguments;

namespace {
// The usage error for these arguments, or a failure when they parse.
CLIError usageErrorFor(const std::vector<std::string>& arguments) {
  try {
    ParsedArguments parsed(arguments);
  } catch (const CLIError& error) {
    EXPECT_EQ(error.code(), ExitCode::usage);
    return error;
  }
  ADD_FAILURE() << "parsed without error";
  return CLIError(ExitCode::success, "");
}
const char* kHint = "Run `bosun help` for the list of options.";
} // namespace

TEST(ParsedArguments, TheTablesHaveTheDocumentedSizes) {
  EXPECT_EQ(ParsedArguments::valueOptions().size(), 26u);
  EXPECT_EQ(ParsedArguments::flagOptions().size(), 33u);
  EXPECT_EQ(ParsedArguments::shortFlags().size(), 6u);
  for (const auto& name : ParsedArguments::valueOptions()) {
    EXPECT_EQ(ParsedArguments::flagOptions().count(name), 0u) << name;
  }
}

TEST(ParsedArguments, CommandPositionalsValuesAndFlags) {
  const ParsedArguments parsed({"start", "a", "--compression", "lzma", "b", "--skip-missing-ticket",
                                "--OUTPUT=X.dmg", "--Json"});
  EXPECT_EQ(parsed.command, "start");
  EXPECT_EQ(parsed.positionals, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(parsed.value("compression"), "lzma");
  EXPECT_EQ(parsed.value("output"), "X.dmg"); // the name is lower-cased, the value is not
  EXPECT_TRUE(parsed.hasFlag("skip-missing-ticket"));
  EXPECT_TRUE(parsed.hasFlag("json"));
  EXPECT_EQ(parsed.flags.size(), 2u);
  EXPECT_EQ(parsed.firstPositional(), "a");
  EXPECT_FALSE(ParsedArguments(std::vector<std::string>{}).command.has_value());
}

TEST(ParsedArguments, ValueOptionsTakeWhateverComesNext) {
  // A value option always consumes the next argument, even one that looks like an option.
  EXPECT_EQ(ParsedArguments({"--identity", "--profile"}).value("identity"), "--profile");
  EXPECT_EQ(ParsedArguments({"--name", "-"}).value("name"), "-");
  // An inline value may be empty, and may itself contain "=".
  EXPECT_EQ(ParsedArguments({"--name="}).value("name"), "");
  EXPECT_EQ(ParsedArguments({"--arrow=a=b"}).value("arrow"), "a=b");
  // A later occurrence replaces the earlier one.
  EXPECT_EQ(ParsedArguments({"-o", "a", "--output", "b"}).value("output"), "b");
}

TEST(ParsedArguments, ShortOptionsAndGroups) {
  const ParsedArguments grouped({"-vq"});
  EXPECT_EQ(grouped.flags, (std::set<std::string>{"verbose", "quiet"}));
  const ParsedArguments withValue({"-qo", "out.dmg", "x"});
  EXPECT_TRUE(withValue.hasFlag("quiet"));
  EXPECT_EQ(withValue.value("output"), "out.dmg");
  EXPECT_EQ(withValue.command, "x");
  EXPECT_EQ(ParsedArguments({"-hyf", "pkg"}).value("format"), "pkg");
}

TEST(ParsedArguments, DashAloneAndDoubleDash) {
  const ParsedArguments dash({"-", "-"});
  EXPECT_EQ(dash.command, "-");
  EXPECT_EQ(dash.positionals, (std::vector<std::string>{"-"}));
  const ParsedArguments after({"-v", "--", "start", "--json", "-x", "--"});
  EXPECT_EQ(after.command, "start");
  EXPECT_EQ(after.positionals, (std::vector<std::string>{"--json", "-x", "--"}));
  EXPECT_EQ(after.flags, (std::set<std::string>{"verbose"}));
}

TEST(ParsedArguments, UsageErrorsHaveExactMessagesAndHints) {
  struct Case {
    std::vector<std::string> arguments;
    std::string message;
    std::optional<std::string> hint;
  };
  const std::vector<Case> cases = {
      {{"--frob"}, "Unknown option --frob.", kHint},
      {{"--FROB=1"}, "Unknown option --frob.", kHint},
      {{"-x"}, "Unknown option -x.", kHint},
      {{"-vX"}, "Unknown option -X.", kHint},
      {{"-5"}, "Unknown option -5.", kHint},
      {{"--name"}, "--name needs a value.", kHint},
      {{"start", "-o"}, "--output needs a value.", kHint},
      {{"-qf"}, "--format needs a value.", kHint},
      {{"-oq", "x"}, "-o needs a value and must come last in a group.", std::nullopt},
      {{"--json=1"}, "--json does not take a value.", std::nullopt},
      {{"--json="}, "--json does not take a value.", std::nullopt},
      {{"---"},
       "Unknown option --"
       "-.",
       kHint},
      {{"--=x"}, "Unknown option --.", kHint},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments.front());
    const CLIError error = usageErrorFor(c.arguments);
    EXPECT_EQ(error.message(), c.message);
    EXPECT_EQ(error.hint(), c.hint);
  }
}

TEST(ParsedArguments, ParsingStopsAtTheFirstError) {
  EXPECT_EQ(usageErrorFor({"--bogus", "-x"}).message(), "Unknown option --bogus.");
}

TEST(ParsedArguments, ArgumentsAreBytes) {
  // Malformed UTF-8 in values and positionals is kept as given.
  const ParsedArguments parsed({"\xFF\xFE", "--name", "n\xC3"});
  EXPECT_EQ(parsed.command, "\xFF\xFE");
  EXPECT_EQ(parsed.value("name"), "n\xC3");
  // An unknown letter is named as a whole character, never half of one.
  EXPECT_EQ(usageErrorFor({"-é"}).message(), "Unknown option -é.");
  EXPECT_EQ(usageErrorFor({"-\xFF"}).message(), "Unknown option -\xFF.");
  EXPECT_EQ(usageErrorFor({"--\xC3\x89t\xC3\xA9"}).message(),
            "Unknown option --\xC3\x89t\xC3\xA9.");
}
