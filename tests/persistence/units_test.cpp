// The property map, the DISPID categories and the camera file text, without a control.
#include "camera_file_text.h"
#include "property_map.h"
#include "value_lists.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

namespace {

using namespace core;
using namespace core::camera_text;

TEST(PropertyMap, SixtyFivePropertiesWithTheDeviceFirstAndColorsLast) {
    const auto map = PropertyMap();
    ASSERT_EQ(map.size(), 65u);
    EXPECT_STREQ(map.front().name, L"ActiveDevice");
    EXPECT_STREQ(map[1].name, L"Timeout");
    EXPECT_STREQ(map[map.size() - 2].name, L"BackColor");
    EXPECT_EQ(map.back().dispid, -513);
    std::set<std::wstring> names;
    std::set<int32_t> dispids;
    for (const PropertyMapEntry& entry : map) {
        names.insert(entry.name);
        dispids.insert(entry.dispid);
    }
    EXPECT_EQ(names.size(), map.size());
    EXPECT_EQ(dispids.size(), map.size());
}

TEST(Categories, EachRangeOfOneHundredHasItsCategory) {
    struct Case {
        int32_t dispid;
        std::optional<int32_t> category;
    };
    const Case cases[] = {{100, 1},
                          {199, 1},
                          {203, 2},
                          {305, 4},
                          {399, 4},
                          {405, 3},
                          {507, 5},
                          {600, 6},
                          {710, 7},
                          {899, 8},
                          {900, 9},
                          {1004, 10},
                          {1199, 11},
                          {99, std::nullopt},
                          {-501, std::nullopt},
                          {1200, std::nullopt}};
    for (const Case& c : cases)
        EXPECT_EQ(CategoryOfDispid(c.dispid), c.category) << c.dispid;
    EXPECT_STREQ(CategoryName(9), L"Sync Master");
    EXPECT_STREQ(CategoryName(4), L"Memory");
    EXPECT_STREQ(CategoryName(10), L"Digital Camera");
    EXPECT_EQ(CategoryName(0), nullptr);
    EXPECT_EQ(CategoryName(12), nullptr);
}

TEST(CameraText, LinesPadTheNameToTwentyFourCharacters) {
    EXPECT_EQ(NumberLine("Timeout", 10), "Timeout" + std::string(17, ' ') + "= 10\n");
    EXPECT_EQ(NumberLine("ForeColor", -2147483630), "ForeColor               = -2147483630\n");
    EXPECT_EQ(BooleanLine("SyncSentinel", true), "SyncSentinel            = -1 'True\n");
    EXPECT_EQ(BooleanLine("EnableExposePulse", false), "EnableExposePulse       = 0 'False\n");
    EXPECT_EQ(TextLine("Name", "SIM7100"), "Name                    = SIM7100\n");
    EXPECT_EQ(TextLine("Name", ""), "Name                    =\n");
    EXPECT_EQ(UnhandledLine("Rate", 5), "Rate                    = ' unhandled type 5\n");
    EXPECT_EQ(Header(), "Vantrel Quillon Frame Grabber Camera File, Format Version 1.0\n"
                        "# WARNING: DO NOT EDIT THIS CAMERA FILE!\n\n");
    EXPECT_EQ(FrameSectionText({1, 2, 3, 4, 5, 6}), "FrameTop\t\t      = 1\n"
                                                    "FrameLeft\t            = 2\n"
                                                    "FrameHeight             = 3\n"
                                                    "FrameWidth              = 4\n"
                                                    "FrameType               = 5\n"
                                                    "FrameStorageMode        = 6\n");
}

// A temporary file holding text, positioned at its start.
class TextFile {
public:
    explicit TextFile(const std::string& text) : file_(std::tmpfile()) {
        if (!file_) return;
        std::fputs(text.c_str(), file_);
        std::rewind(file_);
    }
    ~TextFile() {
        if (file_) std::fclose(file_);
    }
    std::FILE* Get() const { return file_; }

private:
    std::FILE* file_;
};

TEST(CameraText, TheHeaderNamesMajorVersionOne) {
    const std::string second = "\n# WARNING: DO NOT EDIT THIS CAMERA FILE!\n\nTimeout = 1\n";
    const std::string first = "Vantrel Quillon Frame Grabber Camera File, Format Version ";
    for (const auto& [version, accepted] :
         {std::pair{"1.0", true}, {"1.7", true}, {"2.0", false}, {"0.9", false}, {"x", false}}) {
        TextFile file(first + version + second);
        ASSERT_TRUE(file.Get());
        EXPECT_EQ(ReadHeader(file.Get()), accepted) << version;
    }
    TextFile other("Some other file\n");
    EXPECT_FALSE(ReadHeader(other.Get()));
    TextFile empty("");
    EXPECT_FALSE(ReadHeader(empty.Get()));
}

TEST(CameraText, ValuesAreFoundInOrderAndNeverBeforeThePosition) {
    TextFile file(Header() + NumberLine("Timeout", 7) + "garbage line\n" + "timeout = 9\n" +
                  BooleanLine("SyncSentinel", true) + NumberLine("Gain", -3) +
                  std::string(400, 'x') + "\n" + NumberLine("Hue", 12));
    ASSERT_TRUE(ReadHeader(file.Get()));
    EXPECT_EQ(FindValue(file.Get(), "Timeout"), "7");
    EXPECT_EQ(FindValue(file.Get(), "SyncSentinel"), "-1"); // the apostrophe is not read
    EXPECT_EQ(NumberOf("-1"), -1);
    EXPECT_EQ(FindValue(file.Get(), "Gain"), "-3");
    // The over-long line is read in pieces and skipped.
    EXPECT_EQ(FindValue(file.Get(), "Hue"), "12");
    EXPECT_EQ(FindValue(file.Get(), "Timeout"), std::nullopt); // the end of the file
    EXPECT_EQ(NumberOf("abc"), std::nullopt);
}

TEST(CameraText, AFrameSectionIsReadWholeOrNotAtAll) {
    const std::string section = FrameSectionText({10, 20, 240, 320, 2, 1});
    TextFile whole(section);
    const auto frame = ReadFrameSection(whole.Get());
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->top, 10);
    EXPECT_EQ(frame->left, 20);
    EXPECT_EQ(frame->height, 240);
    EXPECT_EQ(frame->width, 320);
    EXPECT_EQ(frame->frameType, 2);
    EXPECT_EQ(frame->storageMode, 1);

    TextFile cut(section.substr(0, section.find("FrameType")));
    EXPECT_FALSE(ReadFrameSection(cut.Get()).has_value());
    TextFile none(NumberLine("ForeColor", 0));
    EXPECT_FALSE(ReadFrameSection(none.Get()).has_value());
}

std::vector<std::pair<std::wstring, uint32_t>>
Pairs(const std::vector<core::PredefinedValue>& values) {
    std::vector<std::pair<std::wstring, uint32_t>> pairs;
    for (const core::PredefinedValue& value : values)
        pairs.emplace_back(value.text, value.cookie);
    return pairs;
}

TEST(ValueLists, SyncSourcesByCapabilityWithChannelCookies) {
    using List = std::vector<std::pair<std::wstring, uint32_t>>;
    EXPECT_EQ(
        Pairs(core::SyncSourceValues(7, 2)),
        (List{
            {L"Channel0", 2}, {L"Channel1", 65538}, {L"CurrentSource", 1}, {L"ExternalLine", 4}}));
    EXPECT_EQ(Pairs(core::SyncSourceValues(5, 4)),
              (List{{L"CurrentSource", 1}, {L"ExternalLine", 4}}));
    EXPECT_TRUE(core::SyncSourceValues(0, 4).empty());
    // Names exist for six channels only.
    const auto many = core::SyncSourceValues(2, 9);
    ASSERT_EQ(many.size(), 6u);
    EXPECT_EQ(many.back().text, L"Channel5");
    EXPECT_EQ(many.back().cookie, 5u * 65536 + 2);
    EXPECT_EQ(Pairs(core::InputSourceValues(3)),
              (List{{L"Channel0", 0}, {L"Channel1", 1}, {L"Channel2", 2}}));
    EXPECT_EQ(core::InputSourceValues(100).size(), 6u);
    const int32_t thresholds[] = {50, 100, -5};
    EXPECT_EQ(Pairs(core::ThresholdValues(thresholds)),
              (List{{L"50", 50}, {L"100", 100}, {L"-5", 0xFFFFFFFBu}}));
}

} // namespace
