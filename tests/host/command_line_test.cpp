// The command line, table-driven: what each form of an option gives, and what is refused.

#include "host/command_line.h"

#include <gtest/gtest.h>

#include "host/report_checks.h"

namespace qx::testing {

using namespace qx::host;

namespace {

std::string refusal(const std::vector<std::string>& args) {
  try {
    parseCommandLine(args);
  } catch (const UsageError& error) {
    return error.what;
  }
  return "";
}

TEST(CommandLineTest, OptionsTakeTheirValueEitherWay) {
  struct Case {
    std::vector<std::string> args;
    std::string output, conf;
    double wait;  // -1: not given
    bool quiet, json, fromInput;
  };
  const Case cases[] = {
      {{"r.json", "--output", "o.xlsx"}, "o.xlsx", "", -1, false, false, false},
      {{"r.json", "--output=o.xlsm"}, "o.xlsm", "", -1, false, false, false},
      {{"-o", "o.XLTX", "r.json"}, "o.XLTX", "", -1, false, false, false},
      {{"-", "-o", "o.xltm", "--conf=c", "--wait", "2.5", "-q", "--json"},
       "o.xltm",
       "c",
       2.5,
       true,
       true,
       true},
      {{"r.json", "--conf", "c=d", "--output=o=x.xlsx", "--wait=0"},
       "o=x.xlsx",
       "c=d",
       0,
       false,
       false,
       false},
  };
  for (const Case& c : cases) {
    const CommandLine line = parseCommandLine(c.args);
    EXPECT_EQ(line.output, c.output) << c.args[0];
    EXPECT_EQ(line.conf.value_or(""), c.conf) << c.args[0];
    EXPECT_EQ(line.waitSeconds.value_or(-1), c.wait) << c.args[0];
    EXPECT_EQ(std::make_tuple(line.quiet, line.json, line.reportFromInput),
              std::make_tuple(c.quiet, c.json, c.fromInput));
  }
}

TEST(CommandLineTest, WrongCommandLinesSayWhy) {
  struct Case {
    std::vector<std::string> args;
    const char* said;
  };
  const Case cases[] = {
      {{}, "name the report description (REPORT.json, or - for standard input)"},
      {{"r.json"}, "name the workbook to write with --output"},
      {{"r.json", "-o", "o.xlsx", "--output=p.xlsx"}, "--output is given twice"},
      {{"r.json", "-o", "o.xlsx", "-q", "--quiet"}, "--quiet is given twice"},
      {{"r.json", "-o", "o.xlsx", "--conf"}, "--conf needs a value"},
      {{"r.json", "-o", "o.xlsx", "--conf="}, "--conf needs a value"},
      {{"r.json", "-o", "o.xlsx", "--json=yes"}, "--json takes no value"},
      {{"r.json", "-o", "o.xlsx", "--colour"}, "unknown option --colour"},
      {{"r.json", "-o", "o.xlsx", "--colour=red"}, "unknown option --colour"},
      {{"r.json", "s.json", "-o", "o.xlsx"}, "one report description at a time (also got s.json)"},
      {{"r.json", "-o", "o.xls"},
       "--output o.xls: a filled workbook ends in .xlsx, .xlsm, .xltx or .xltm"},
      {{"r.json", "-o", "xlsx"},
       "--output xlsx: a filled workbook ends in .xlsx, .xlsm, .xltx or .xltm"},
      {{"r.json", "-o", "o.xlsx", "--wait", "-1"},
       "--wait takes a number of seconds (0 or more), not \"-1\""},
      {{"r.json", "-o", "o.xlsx", "--wait", "1s"},
       "--wait takes a number of seconds (0 or more), not \"1s\""},
  };
  for (const Case& c : cases) EXPECT_EQ(refusal(c.args), c.said);
  EXPECT_TRUE(parseCommandLine({"--help"}).help);
  EXPECT_TRUE(parseCommandLine({"--version"}).version);
}

// The help is made from the option table the parser reads: every option it takes is in it.
TEST(CommandLineTest, HelpNamesEveryOptionAndDefinesTheSummary) {
  const std::string help = helpText();
  for (const char* text :
       {"-o, --output FILE", "--conf DIR", "--wait SECONDS", "--lib-dir DIR", "-q, --quiet",
        "--json", "-h, --help", "--version", "seconds is the wall time of the whole run",
        "export_seconds", "128+N"}) {
    EXPECT_NE(help.find(text), std::string::npos) << text;
  }
  for (const std::string& line : {std::string("Usage:"), std::string("\noptions:\n")}) {
    EXPECT_NE(help.find(line), std::string::npos) << line;
  }
}

TEST(CommandLineTest, CellReferences) {
  for (const char* good : {"A1", "$B$2", "b2", "XFD1048576", "$AA10", "Z$9"}) {
    EXPECT_TRUE(isCellReference(good)) << good;
  }
  for (const char* bad :
       {"", "A", "1", "A0", "XFE1", "A1048577", "A01", "$$A1", "A1:B2", "A 1", "ABCD1", "A1$"}) {
    EXPECT_FALSE(isCellReference(bad)) << bad;
  }
}

}  // namespace
}  // namespace qx::testing
