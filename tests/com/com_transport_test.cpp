// The typed operations over COM: what the fake IDispatch server receives for every row of the
// operations table, what comes back, and the references in between.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "automation/automation_error.h"
#include "automation/operations.h"
#include "platform/code_page.h"
#include "tests/com/com_fixture.h"
#include "tests/support/operation_rows.h"

namespace qx::testing {
namespace {

using namespace automation;

using Session = testing::OperationSession;
using Row = testing::OperationRow;
using testing::operationRows;

TEST_P(ComTransportTest, EveryRowReachesIDispatchWithItsDispidFlagsAndArguments) {
  // Out of process the server also counts the references its stubs hold.
  const long before = fake.outstanding();
  for (const Row& row : operationRows()) {
    SCOPED_TRACE(row.name);
    {
      Session session(application);
      fake.reset();
      row.call(session);
      const std::vector<RecordedCall> calls = fake.calls();
      ASSERT_EQ(calls.size(), 1u);
      const RecordedCall& call = calls[0];
      const bool put = row.kind == InvokeKind::PropertyPut;
      EXPECT_EQ(call.dispid, row.dispid);
      EXPECT_EQ(call.flags, static_cast<std::uint16_t>(row.kind));
      EXPECT_EQ(call.namedCount, put ? 1u : 0u);
      EXPECT_EQ(call.firstNamed, put ? DISPID_PROPERTYPUT : 0);
      // A proxy asks for a result whatever its caller gave.
      if (inProcess()) {
        EXPECT_EQ(call.hasResult != 0, !put);
      }
      ASSERT_EQ(call.argumentCount, row.arguments.size()) << describeArguments(call);
      for (std::size_t i = 0; i < row.arguments.size(); ++i) {
        EXPECT_TRUE(sameArgument(call.arguments[i], row.arguments[i]))
            << "argument " << i << ": expected " << describe(row.arguments[i]) << ", got "
            << describeArguments(call);
      }
    }
    EXPECT_EQ(fake.outstanding(), before) << "only the fixture's application is left";
  }
}

TEST_P(ComTransportTest, BooleansTravelAsVariantTrueAndFalse) {
  applicationVisible(application, true);
  applicationVisible(application, false);
  const std::vector<RecordedCall> calls = fake.calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].arguments[0].vt, VT_BOOL);
  EXPECT_EQ(calls[0].arguments[0].integer, -1);
  EXPECT_EQ(calls[1].arguments[0].integer, 0);
}

TEST_P(ComTransportTest, ResultsComeBackAsTheirKinds) {
  Session session(application);
  EXPECT_EQ(rangeLeft(session.range), Variant::real(10.5));
  EXPECT_EQ(rangeTop(session.range), Variant::real(20.25));
  EXPECT_EQ(rangeWidth(session.range), Variant::real(48));
  EXPECT_EQ(rangeHeight(session.range), Variant::real(15));
  const Variant border =
      rangeBorderAround(session.range, Variant::smallInteger(1), 2, 1, Variant::unsignedInteger(0));
  EXPECT_EQ(border.booleanValue(), -1);
  // A cell never written answers a null BSTR: an empty text.
  Variant item = rangeItem(session.range, Variant::integer(4), Variant::integer(4));
  AutomationObject cell;
  cell.attach(item.takeObject());
  const Variant text = rangeText(cell);
  ASSERT_EQ(text.type(), VarType::Bstr);
  EXPECT_TRUE(text.textValue().empty());
}

TEST_P(ComTransportTest, OtherResultKindsAreCoercedOrRefused) {
  Session session(application);
  fake.answerNext(op::kRangeText.dispid, Answer::Null);
  EXPECT_TRUE(rangeText(session.range).isEmpty());
  fake.answerNext(op::kRangeLeft.dispid, Answer::UnsignedByte);
  EXPECT_EQ(rangeLeft(session.range), Variant::integer(200));
  fake.answerNext(op::kRangeLeft.dispid, Answer::Date);
  EXPECT_EQ(rangeLeft(session.range), Variant::real(2.5));
  fake.answerNext(op::kRangeLeft.dispid, Answer::Array);
  try {
    rangeLeft(session.range);
    FAIL() << "an array result was accepted";
  } catch (const AutomationError& error) {
    EXPECT_EQ(error.hresult(), static_cast<std::int32_t>(DISP_E_TYPEMISMATCH));
    EXPECT_EQ(error.operation(), "Range.Left");
  }
}

TEST_P(ComTransportTest, NextAfterTheLastSheetIsAnEmptyHolder) {
  Session session(application);
  AutomationObject second = worksheetNext(session.sheet);
  EXPECT_FALSE(second.empty());
  AutomationObject none = worksheetNext(second);
  EXPECT_TRUE(none.empty());
}

TEST_F(ComTest, ReferencesAreBalancedAcrossAttachCopyAndRelease) {
  {
    Session session(application);
    EXPECT_EQ(fake.outstanding(), 7);  // the fixture's application and six holders
    AutomationObject copy = session.range.copy();
    EXPECT_EQ(fake.outstanding(), 8);
    copy.attach(worksheetRange(session.sheet, Variant::text(u"A1"), Variant::text(u"A1"))
                    .detach());  // replaces the copy: one released, one taken
    EXPECT_EQ(fake.outstanding(), 8);
    Variant item = rangeItem(session.range, Variant::integer(1), Variant::integer(1));
    EXPECT_EQ(fake.outstanding(), 9);
    Variant second = item;  // a copied VARIANT holds a reference of its own
    EXPECT_EQ(fake.outstanding(), 10);
    AutomationObject cell;
    cell.attach(item.takeObject());  // ownership moves out of the VARIANT
    EXPECT_EQ(fake.outstanding(), 10);
    second = Variant();
    cell.release();
    copy.release();
    EXPECT_EQ(fake.outstanding(), 7);
  }
  EXPECT_EQ(fake.outstanding(), 1);
}

TEST_P(ComTransportTest, ObjectArgumentsAreLentForTheCallOnly) {
  Session session(application);
  const long before = fake.outstanding();
  setRangeItem(session.range, Variant::integer(1), Variant::integer(1),
               Variant::adopt(session.sheet.copy().detach()));
  EXPECT_EQ(fake.outstanding(), before);
  const std::vector<RecordedCall> calls = fake.calls();
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.back().arguments[2].vt, VT_DISPATCH);
  EXPECT_EQ(calls.back().arguments[2].isNullObject, 0);
}

// An object of an in-process server has no IDispatch to hand to a COM server.
class Local final : public DispatchBase {
 public:
  std::int32_t invoke(std::int32_t, InvokeKind, std::span<const Variant>, Variant&,
                      ExceptionInfo&) override {
    return hr::kOk;
  }
};

TEST_P(ComTransportTest, ArgumentsThatCannotBeConvertedFailBeforeTheServerIsCalled) {
  Session session(application);
  fake.reset();
  try {
    setRangeItem(session.range, Variant::integer(1), Variant::integer(1),
                 Variant::adopt(new Local));
    FAIL() << "a foreign object was passed";
  } catch (const AutomationError& error) {
    EXPECT_EQ(error.hresult(), static_cast<std::int32_t>(DISP_E_TYPEMISMATCH));
  }
  try {
    invoke(session.range, op::kRangeItemPut);  // a put without its value
    FAIL() << "a put without a value was sent";
  } catch (const AutomationError& error) {
    EXPECT_EQ(error.hresult(), hr::kBadParamCount);
  }
  EXPECT_TRUE(fake.calls().empty());
}

TEST_P(ComTransportTest, ChineseTextsTravelAsUtf16AndComeBackAsGbk) {
  ASSERT_EQ(GetACP(), 936u) << "run the Windows tests with LC_ALL=zh_CN.UTF-8";
  const std::string gbk = "\xD6\xD0\xCE\xC4\xB2\xE2\xCA\xD4 A1";  // 中文测试 A1
  Session session(application);
  fake.reset();
  setRangeItem(session.range, Variant::integer(2), Variant::integer(3),
               Variant::text(platform::gbkToUtf16(gbk)));
  const std::vector<RecordedCall> calls = fake.calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_TRUE(sameArgument(calls[0].arguments[2], Variant::text(u"\u4E2D\u6587\u6D4B\u8BD5 A1")))
      << describeArguments(calls[0]);
  Variant item = rangeItem(session.range, Variant::integer(2), Variant::integer(3));
  AutomationObject cell;
  cell.attach(item.takeObject());
  EXPECT_EQ(platform::utf16ToGbk(rangeText(cell).textValue()), gbk);
}

INSTANTIATE_TEST_SUITE_P(Transports, ComTransportTest,
                         ::testing::Values(Transport::InProcess, Transport::OutOfProcess),
                         [](const ::testing::TestParamInfo<Transport>& info) {
                           return info.param == Transport::InProcess ? "InProcess" : "OutOfProcess";
                         });

}  // namespace
}  // namespace qx::testing
