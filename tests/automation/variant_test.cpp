#include "automation/variant.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "automation/dispatch.h"

namespace qx::testing {

using namespace qx::automation;

namespace {

class CountedObject final : public Dispatch {
 public:
  std::uint32_t addRef() override { return ++references; }
  std::uint32_t release() override { return --references; }
  std::int32_t invoke(std::int32_t, InvokeKind, std::span<const Variant>, Variant&,
                      ExceptionInfo&) override {
    return hr::kMemberNotFound;
  }
  std::uint32_t references = 1;
};

TEST(Variant, KindsCarryTheirComTypeCodes) {
  struct Case {
    Variant value;
    std::uint16_t code;
  };
  const Case cases[] = {{Variant::smallInteger(1), 2},    {Variant::integer(1), 3},
                        {Variant::single(1), 4},          {Variant::real(1), 5},
                        {Variant::text(u"x"), 8},         {Variant::adopt(nullptr), 9},
                        {Variant::missing(), 10},         {Variant::boolean(true), 11},
                        {Variant::unsignedInteger(0), 19}};
  for (const Case& c : cases) EXPECT_EQ(static_cast<std::uint16_t>(c.value.type()), c.code);
}

TEST(Variant, BooleanTrueIsMinusOne) {
  EXPECT_EQ(Variant::boolean(true).booleanValue(), -1);
  EXPECT_EQ(Variant::boolean(false).booleanValue(), 0);
}

TEST(Variant, MissingArgumentIsParamNotFound) {
  const Variant missing = Variant::missing();
  EXPECT_EQ(static_cast<std::uint32_t>(missing.errorValue()), 0x80020004u);
  EXPECT_TRUE(missing.isMissing());
  EXPECT_FALSE(Variant::error(0).isMissing());
}

TEST(Variant, WrongAccessorIsRefused) {
  EXPECT_THROW(Variant::integer(3).textValue(), std::logic_error);
  EXPECT_THROW(Variant::smallInteger(3).integerValue(), std::logic_error);
}

TEST(Variant, ObjectReferencesAreCountedAcrossCopyMoveAndTake) {
  CountedObject object;
  {
    Variant first = Variant::adopt(&object);
    EXPECT_EQ(object.references, 1u);
    Variant second = first;
    EXPECT_EQ(object.references, 2u);
    Variant third = std::move(second);
    EXPECT_EQ(object.references, 2u);
    EXPECT_TRUE(second.isEmpty());
    Dispatch* taken = third.takeObject();
    EXPECT_EQ(taken, &object);
    EXPECT_TRUE(third.isEmpty());
    taken->release();  // what a holder would do
  }
  EXPECT_EQ(object.references, 0u);
}

// Assigning over a variant releases the object it held, and assigning one to itself keeps it.
TEST(Variant, AssignmentReleasesWhatWasHeldAndSurvivesItself) {
  CountedObject held, given;
  {
    Variant target = Variant::adopt(&held);
    const Variant source = Variant::adopt(&given);
    target = source;  // a copy: both hold `given`
    EXPECT_EQ(held.references, 0u);
    EXPECT_EQ(given.references, 2u);
    target = Variant::text(u"over an object");  // a move
    EXPECT_EQ(given.references, 1u);
    EXPECT_EQ(target.textValue(), u"over an object");
    held.addRef();
    target = Variant::adopt(&held);
    Variant& alias = target;
    target = alias;
    target = std::move(alias);
    EXPECT_EQ(held.references, 1u);
    EXPECT_EQ(target.objectValue(), &held);
    target = Variant::integer(7);  // a move over an object releases it
    EXPECT_EQ(held.references, 0u);
    EXPECT_EQ(target, Variant::integer(7));
  }
  EXPECT_EQ(given.references, 0u);
}

// A variant made a text or an integer in place drops the object it held and whatever it was,
// and equals the same value made anew, however long its earlier text was.
TEST(Variant, SetTextReplacesWhatTheVariantHeld) {
  CountedObject object;
  const Variant earlier[] = {Variant::adopt(&object), Variant::real(2.5),
                             Variant::text(u"a text longer than the short-string room"),
                             Variant::missing()};
  for (const Variant& original : earlier) {
    Variant value = original;
    value.setText(u"$B$12");
    EXPECT_EQ(value, Variant::text(u"$B$12"));
    value.setText(u"");
    EXPECT_EQ(value, Variant::text(u""));

    Variant filled = original;
    filled.fillText([](std::u16string& room) { room.assign(u"\u4E2D1"); });
    EXPECT_EQ(filled, Variant::text(u"\u4E2D1"));
    EXPECT_EQ(describe(filled), describe(Variant::text(u"\u4E2D1")));

    Variant number = original;
    number.setInteger(-4138);
    EXPECT_EQ(number, Variant::integer(-4138));
    EXPECT_EQ(number.integerValue(), -4138);
    number.fillText([](std::u16string& room) { EXPECT_TRUE(room.empty()); });
    EXPECT_EQ(number, Variant::text(u""));  // an integer leaves no text behind
  }
  EXPECT_EQ(object.references, 1u);  // the copies' references went; the array's stays
}

TEST(Variant, DescribesValuesForLogs) {
  EXPECT_EQ(describe(Variant::integer(-4138)), "I4 -4138");
  EXPECT_EQ(describe(Variant::text(u"AA5")), "BSTR \"AA5\"");
  EXPECT_EQ(describe(Variant::missing()), "ERROR 0x80020004");
  EXPECT_EQ(describe(Variant::single(12.5f)), "R4 12.5");
}

}  // namespace
}  // namespace qx::testing
