// The setup dialogs' value conversions.
#include "setting_values.h"

#include <gtest/gtest.h>

namespace vidora {
namespace {

TEST(VidoraSettingValuesTest, OffsetRoundsToTheGranularityWithTiesToEven) {
    EXPECT_EQ(RoundToGranularity(25, 10), 20);   // 2.5 steps -> 2
    EXPECT_EQ(RoundToGranularity(35, 10), 40);   // 3.5 steps -> 4
    EXPECT_EQ(RoundToGranularity(-26, 4), -24);  // -6.5 steps -> -6
    EXPECT_EQ(RoundToGranularity(7, 1), 7);
    EXPECT_FALSE(RoundToGranularity(7, 0));      // no multiples of 0: no crash, no value
}

TEST(VidoraSettingValuesTest, HundredthsAndGainTexts) {
    EXPECT_EQ(HundredthsOf(L"12.5"), 1250);
    EXPECT_EQ(HundredthsOf(L" 0.29 "), 29);
    EXPECT_FALSE(HundredthsOf(L"12,5x"));
    EXPECT_EQ(HundredthsText(1250), L"12.5");
    EXPECT_EQ(HundredthsText(700), L"7");
    EXPECT_EQ(GainOf(L".5"), 50);
    EXPECT_EQ(GainOf(L"4"), 400);
    EXPECT_EQ(GainText(50), L"0.5");
}

TEST(VidoraSettingValuesTest, IntegersAndTheBoundedFieldsTyping) {
    EXPECT_EQ(IntegerOf(L" 42 "), 42);
    EXPECT_EQ(IntegerOf(L"2.5"), 2);
    EXPECT_FALSE(IntegerOf(L"abc"));
    EXPECT_FALSE(IntegerOf(L""));
    EXPECT_FALSE(IntegerOf(L"99999999999"));
    EXPECT_EQ(LeadingNumber(L"640x"), 640);
    EXPECT_EQ(LeadingNumber(L"x"), 0);
    EXPECT_EQ(ClassifyTyped(5000, 10, 1000), FieldTyping::ClampToMax);
    EXPECT_EQ(ClassifyTyped(5, 10, 1000), FieldTyping::LeaveAsTyped);
    EXPECT_EQ(ClassifyTyped(10, 10, 1000), FieldTyping::Accept);
}

TEST(VidoraSettingValuesTest, SyncSourceNamesBothWays) {
    EXPECT_EQ(SyncSourceValue(L"Channel 1"), 65538);
    EXPECT_EQ(SyncSourceValue(L"External Line"), 4);
    EXPECT_FALSE(SyncSourceValue(L"Channel 9"));
    EXPECT_STREQ(SyncSourceText(327682), L"Channel 5");
    EXPECT_EQ(SyncSourceText(3), nullptr);
}

} // namespace
} // namespace vidora
