#include <gtest/gtest.h>

#include "automation/operations.h"
#include "automation/server_registry.h"
#include "tests/wine/call_log.h"
#include "tests/wine/reports.h"
#include "tests/wine/server_failure.h"

namespace qx::testing {
namespace {

using automation::InvokeKind;
using automation::Variant;

TEST(CallLog, TextsAreQuotedSoThatEveryLineStaysOneLine) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"plain", "plain"},
      {"say \"hi\"", "say \\\"hi\\\""},
      {"D:\\qx_conf", "D:\\\\qx_conf"},
      {"two\nlines\r", "two\\x0Alines\\x0D"},
      {std::string("nul\0tab\t", 8), "nul\\x00tab\\x09"},
      {"\x7F", "\\x7F"},
      {"分组报表", "分组报表"},
  };
  for (const auto& c : cases) EXPECT_EQ(escapedText(c.in), c.out) << c.in;
}

TEST(CallLog, OneLineNamesObjectSheetMemberDispidKindAndEveryArgument) {
  const struct {
    Call call;
    std::string line;
  } cases[] = {
      {{"Range",
        "Item",
        170,
        InvokeKind::PropertyPut,
        {Variant::integer(5), Variant::integer(-1), Variant::text(u"甲\"")},
        2},
       "Range[2].Item 170 put (I4 5, I4 -1, BSTR \"甲\\\"\")"},
      {{"Application", "Visible", 558, InvokeKind::PropertyGet, {}, 0},
       "Application.Visible 558 get ()"},
      {{"Shapes",
        "AddPicture",
        1723,
        InvokeKind::Method,
        {Variant::single(0.1f), Variant::real(0.1), Variant::real(50), Variant::boolean(true),
         Variant::boolean(false)},
        1},
       "Shapes[1].AddPicture 1723 method (R4 0.1, R8 0.1, R8 50, BOOL -1, BOOL 0)"},
      {{"Workbooks",
        "Open",
        1923,
        InvokeKind::Method,
        {Variant::missing(), Variant::smallInteger(0), Variant::unsignedInteger(4294967295u),
         Variant(), Variant::adopt(nullptr)},
        0},
       "Workbooks.Open 1923 method (ERROR 0x80020004, I2 0, UI4 4294967295, EMPTY, DISPATCH "
       "null)"},
      {{"Workbook", "?", 9, static_cast<InvokeKind>(3), {}, 0}, "Workbook.? 9 kind 3 ()"},
  };
  for (const auto& c : cases) EXPECT_EQ(logLine(c.call), c.line);
  EXPECT_EQ(logText({cases[1].call, cases[4].call}),
            "Application.Visible 558 get ()\nWorkbook.? 9 kind 3 ()\n");
  EXPECT_EQ(logText({}), "");
}

TEST(CallLog, ReplacingNeverRereadsWhatItPutIn) {
  EXPECT_EQ(replaceAll("a-a-a", "a", "aa"), "aa-aa-aa");
  EXPECT_EQ(replaceAll("aaaa", "aa", "b"), "bb");
  EXPECT_EQ(replaceAll("abc", "", "x"), "abc");
  EXPECT_EQ(replaceAll("abc", "abcd", "x"), "abc");
}

TEST(CallLog, PathsGiveWayToPlaceholdersQuotedInLogsAndPlainInMessages) {
  PreparedReport prepared;
  prepared.paths = {{"D:\\qx_conf\\temp\\report.xlsx", "<template>"},
                    {"D:\\qx_conf\\temp\\p.bmp", "<picture>"}};
  const std::string log =
      "Open (BSTR \"D:\\\\qx_conf\\\\temp\\\\report.xlsx\")\n"
      "AddPicture (BSTR \"D:\\\\qx_conf\\\\temp\\\\p.bmp\")\n";
  EXPECT_EQ(withPlaceholders(log, prepared, true),
            "Open (BSTR \"<template>\")\nAddPicture (BSTR \"<picture>\")\n");
  EXPECT_EQ(withPlaceholders("模板文件“D:\\qx_conf\\temp\\report.xlsx”, 不存在!", prepared, false),
            "模板文件“<template>”, 不存在!");
  // A log's quoting is not a message's: each is replaced only in its own form.
  EXPECT_EQ(withPlaceholders(log, prepared, false), log);
}

TEST(ServerFailure, APlannedFailureTakesItsOccurrenceAndCarriesItsDescription) {
  const struct {
    const char* line;
    bool planned;
  } cases[] = {
      {"Application.Workbooks|2|0x80020009|打不开", true},
      {"Application.Workbooks|2|-2147352567|a|b", true},  // the description keeps its bars
      {"Application.Workbooks|2|0x80020009", false},
      {"|2|0x80020009|x", false},
      {"Application.Workbooks|0|0x80020009|x", false},
      {"Application.Workbooks|two|0x80020009|x", false},
      {"Application.Workbooks|2|code|x", false},
      {"", false},
  };
  for (const auto& c : cases) {
    RecordingServer server;
    server.registerAs("Excel.Application");
    EXPECT_EQ(planFailure(server, c.line), c.planned) << c.line;
    automation::Dispatch* application = automation::createServerObject("Excel.Application");
    ASSERT_NE(application, nullptr);
    Variant result;
    automation::ExceptionInfo exception;
    std::int32_t second = 0;
    for (int i = 0; i < 2; ++i) {
      result = Variant();
      second = application->invoke(automation::op::kApplicationWorkbooks.dispid,
                                   InvokeKind::PropertyGet, {}, result, exception);
    }
    result = Variant();
    application->release();
    EXPECT_EQ(second, c.planned ? automation::hr::kException : automation::hr::kOk) << c.line;
    if (c.planned) {
      EXPECT_EQ(exception.code, automation::hr::kException);
      EXPECT_FALSE(exception.description.empty());
    }
    EXPECT_EQ(server.outstandingReferences(), 0);
  }
}

}  // namespace
}  // namespace qx::testing
