// Status arithmetic and translation from the driver's form.
#include <gtest/gtest.h>

#include "status.h"

using namespace imaging;

TEST(StatusArithmetic, MessageIdAndErrorResult) {
    EXPECT_EQ(MessageId(STC_STS_NULL), 0x4006);
    EXPECT_EQ(static_cast<uint32_t>(ErrorResult(STC_STS_NULL)), 0x80044006u);
    EXPECT_EQ(MessageId(STC_STS_PENDING), 4097);
    EXPECT_EQ(MessageId(STC_STS_CLIP), 8193);
    EXPECT_EQ(MessageId(STC_STS_NO_VIDEO_SIGNAL), 16690);
    EXPECT_EQ(MessageId(STC_STS_UNSUPMEMTYPE), 16640);
}

TEST(StatusTranslation, DriverCodesMapOntoApiCodes) {
    EXPECT_EQ(TranslateDriverStatus(0), 0u);
    EXPECT_EQ(TranslateDriverStatus(0x84000102), STC_STS_NULL);
    EXPECT_EQ(TranslateDriverStatus(0x84000100), STC_STS_RANGE);
    EXPECT_EQ(TranslateDriverStatus(0x84000108), STC_STS_GRANULARITY);
    EXPECT_EQ(TranslateDriverStatus(0x84000200), STC_STS_UNSUPMEMTYPE);
    EXPECT_EQ(TranslateDriverStatus(0x84000202), STC_STS_FRAMENOTAVAILABLE);
    EXPECT_EQ(TranslateDriverStatus(0x84000228), STC_STS_SYS_RES);
    EXPECT_EQ(TranslateDriverStatus(0x84000234), STC_STS_NO_VIDEO_SIGNAL);
    EXPECT_EQ(TranslateDriverStatus(0x81000003), STC_STS_CANCELJOB);
}

TEST(StatusTranslation, CodesLeftOutOfTheTableAreUnknown) {
    for (uint32_t gap : {0x84000201u, 0x84000205u, 0x84000227u, 0x84000109u, 0x84000004u})
        EXPECT_EQ(TranslateDriverStatus(gap), STC_STS_UNKNOWNSTATUS) << std::hex << gap;
}

TEST(StatusTranslation, DeviceDependentStatusesPassUnchanged) {
    EXPECT_EQ(TranslateDriverStatus(0x04000001), 0x04000001u);
    EXPECT_EQ(TranslateDriverStatus(0x00001234), 0x00001234u);
}

TEST(StatusTranslation, DeviceDependentMapping) {
    EXPECT_EQ(MapDeviceDependentStatus(0x04000001), 0x14000001u);
    EXPECT_EQ(MapDeviceDependentStatus(0x04000004), 0x14000004u);
    EXPECT_EQ(MapDeviceDependentStatus(0x04000005), STC_STS_UNKNOWNSTATUS);
    EXPECT_EQ(MapDeviceDependentStatus(0x04000000), STC_STS_UNKNOWNSTATUS);
    EXPECT_EQ(MapDeviceDependentStatus(0), STC_STS_UNKNOWNSTATUS);
}

TEST(StatusTranslation, SeverityNames) {
    EXPECT_STREQ(SeverityName(0x84000102), "Error");
    EXPECT_STREQ(SeverityName(0x92000003), "Warning");
    EXPECT_STREQ(SeverityName(0x91000001), "Informational");
    for (uint32_t s : {0x80044006u, 0x03000000u, 0x05000000u, 0x06000000u, 0x07000000u})
        EXPECT_STREQ(SeverityName(s), "Normal") << std::hex << s;
}
