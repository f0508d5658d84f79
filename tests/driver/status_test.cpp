#include "message_send.h"
#include "test_driver.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace imaging;

namespace {

std::string Message(STT_APISTATUS status) {
    char buffer[256];
    memset(buffer, 0x55, sizeof(buffer));
    EXPECT_EQ(GetApiStatusMessage(status, buffer, sizeof(buffer)), STC_STS_NORMAL);
    EXPECT_NE(memchr(buffer, 0, sizeof(buffer)), nullptr) << "not terminated";
    return std::string(buffer, strnlen(buffer, sizeof(buffer)));
}

constexpr char kSuccess[] = "Operation or function completed successfully.";

} // namespace

TEST(StatusMessage, SuccessForEveryStatusWithZeroCode) {
    EXPECT_EQ(Message(0), kSuccess);
    EXPECT_EQ(Message(0x94001000), kSuccess);
    EXPECT_EQ(Message(0x04000000), kSuccess);
}

TEST(StatusMessage, BufferChecksWriteNothing) {
    char buffer[256];
    memset(buffer, 'x', sizeof(buffer));
    EXPECT_EQ(GetApiStatusMessage(STC_STS_NULL, buffer, 255), STC_STS_BUFSIZ);
    EXPECT_EQ(GetApiStatusMessage(0, buffer, 0), STC_STS_BUFSIZ);
    EXPECT_EQ(GetApiStatusMessage(0, buffer, -1), STC_STS_BUFSIZ);
    for (char c : buffer)
        ASSERT_EQ(c, 'x');
    EXPECT_EQ(GetApiStatusMessage(STC_STS_NULL, nullptr, 256), STC_STS_NULL);
    EXPECT_EQ(GetApiStatusMessage(STC_STS_NULL, nullptr, 10), STC_STS_NULL);
    EXPECT_EQ(GetApiStatusMessage(0, nullptr, 0), STC_STS_NULL);
}

TEST(StatusMessage, TextsFromTheStringTable) {
    // Double spaces, a trailing space, embedded quotes and a missing space after the colon
    // all survive the resource compiler.
    EXPECT_EQ(Message(0x94000006),
              "STC_STS_NULL: One of the pointers received by the library or driver was NULL.  "
              "Check to make sure that all pointers are valid before calling the requested "
              "function. ");
    EXPECT_EQ(Message(STC_STS_FRAMENOTAVAILABLE),
              "STC_STS_FRAMENOTAVAILABLE: The requested \"built-in\" frame buffer is being used.");
    EXPECT_EQ(Message(STC_STS_INVALIDFRAMEID),
              "STC_STS_INVALIDFRAMEID: The specified \"built-in\" frame identifier is invalid.  "
              "Most likely, it is a number that excedes the number of \"built-in\" frames "
              "supported by the driver/device for the specified memory type.");
    EXPECT_EQ(Message(STC_STS_PENDING), "STC_STS_PENDING: The specified asynchronous operation "
                                        "is pending and has not started executing.");
    EXPECT_EQ(Message(STC_STS_NONSTMSG),
              "STC_STS_NONSTMSG: An imaging driver, opened for Strata operation, received a "
              "driver message that was not handled.  The driver message was passed to "
              "DefDriverProc().");
    EXPECT_EQ(Message(STC_STS_SYS_RES), "STC_STS_SYS_RES:System resource error");
    EXPECT_EQ(Message(STC_STS_NO_VIDEO_SIGNAL),
              "STC_STS_NO_VIDEO_SIGNAL: There is no video signal.");
    EXPECT_EQ(Message(STC_STS_UNSUPMEMTYPE), "STC_STS_UNSUPMEMTYPE: The driver/device does not "
                                             "support the specified memory type.");
}

TEST(StatusMessage, EveryStatusWithATextStartsWithItsName) {
    const struct {
        STT_APISTATUS status;
        const char* prefix;
    } statuses[] = {
        {STC_STS_PENDING, "STC_STS_PENDING:"},
        {STC_STS_ACTIVE, "STC_STS_ACTIVE:"},
        {STC_STS_CANCELJOB, "STC_STS_CANCELJOB:"},
        {STC_STS_CLIP, "STC_STS_CLIP:"},
        {STC_STS_NONSTMSG, "STC_STS_NONSTMSG:"},
        {STC_STS_NOSHARE, "STC_STS_NOSHARE:"},
        {STC_STS_NOMEM, "STC_STS_NOMEM:"},
        {STC_STS_NOMEMLOCK, "STC_STS_NOMEMLOCK:"},
        {STC_STS_RANGE, "STC_STS_RANGE:"},
        {STC_STS_STRUCTSIZ, "STC_STS_STRUCTSIZ:"},
        {STC_STS_NULL, "STC_STS_NULL:"},
        {STC_STS_BUSY, "STC_STS_BUSY:"},
        {STC_STS_BUFSIZ, "STC_STS_BUFSIZ:"},
        {STC_STS_UNSUPKEY, "STC_STS_UNSUPKEY:"},
        {STC_STS_NOASYNC, "STC_STS_NOASYNC:"},
        {STC_STS_TIMEOUT, "STC_STS_TIMEOUT:"},
        {STC_STS_GRANULARITY, "STC_STS_GRANULARITY:"},
        {STC_STS_NODRIVERS, "STC_STS_NODRIVERS:"},
        {STC_STS_NOOPENDEVICE, "STC_STS_NOOPENDEVICE:"},
        {STC_STS_NOCLOSEDEVICE, "STC_STS_NOCLOSEDEVICE:"},
        {STC_STS_GETSTATUSFAIL, "STC_STS_GETSTATUSFAIL:"},
        {STC_STS_NONSTSTATUS, "STC_STS_NONSTSTATUS:"},
        {STC_STS_UNKNOWNSTATUS, "STC_STS_UNKNOWNSTATUS:"},
        {STC_STS_LOADSTRERR, "STC_STS_LOADSTRERR:"},
        {STC_STS_SYSERROR, "STC_STS_SYSERROR:"},
        {STC_STS_FIFO_OVERFLOW, "STC_STS_FIFO_OVERFLOW:"},
        {STC_STS_FIELD_OVERFLOW, "STC_STS_FIELD_OVERFLOW:"},
        {STC_STS_UNSUPMEMTYPE, "STC_STS_UNSUPMEMTYPE:"},
        {STC_STS_FRAMENOTAVAILABLE, "STC_STS_FRAMENOTAVAILABLE:"},
        {STC_STS_INVALIDFRAMEID, "STC_STS_INVALIDFRAMEID:"},
        {STC_STS_INVALIDFRAMEHANDLE, "STC_STS_INVALIDFRAMEHANDLE:"},
        {STC_STS_INVALIDFRAMERECT, "STC_STS_INVALIDFRAMERECT:"},
        {STC_STS_FRAMENOTALLOCATED, "STC_STS_FRAMENOTALLOCATED:"},
        {STC_STS_MAPERROR, "STC_STS_MAPERROR:"},
        {STC_STS_UNMAPERROR, "STC_STS_UNMAPERROR:"},
        {STC_STS_FRAMEISMAPPED, "STC_STS_FRAMEISMAPPED:"},
        {STC_STS_FRAMENOTMAPPED, "STC_STS_FRAMENOTMAPPED:"},
        {STC_STS_FRAMELIMITEXCEEDED, "STC_STS_FRAMELIMITEXCEEDED:"},
        {STC_STS_FRAMEWIDTH, "STC_STS_FRAMEWIDTH:"},
        {STC_STS_CLAMP, "STC_STS_CLAMP:"},
        {STC_STS_VERTICALINC, "STC_STS_VERTICALINC:"},
        {STC_STS_FIRSTACTPIX, "STC_STS_FIRSTACTPIX:"},
        {STC_STS_ACTPIXCOUNT, "STC_STS_ACTPIXCOUNT:"},
        {STC_STS_FRAMELEFT, "STC_STS_FRAMELEFT:"},
        {STC_STS_FRAMETOP, "STC_STS_FRAMETOP:"},
        {STC_STS_FRAMEHEIGHT, "STC_STS_FRAMEHEIGHT:"},
        {STC_STS_ACTLINECOUNT, "STC_STS_ACTLINECOUNT:"},
        {STC_STS_HSYNCSEARCHPOS, "STC_STS_HSYNCSEARCHPOS:"},
        {STC_STS_VSYNCSEARCHPOS, "STC_STS_VSYNCSEARCHPOS:"},
        {STC_STS_INPUTSOURCE, "STC_STS_INPUTSOURCE:"},
        {STC_STS_CONTROL, "STC_STS_CONTROL:"},
        {STC_STS_LUT, "STC_STS_LUT:"},
        {STC_STS_BWINVERSION, "STC_STS_BWINVERSION:"},
        {STC_STS_WHITELEVEL, "STC_STS_WHITELEVEL:"},
        {STC_STS_INTERLACEDHGTGRAN, "STC_STS_INTERLACEDHGTGRAN:"},
        {STC_STS_INTERLACEDTOPGRAN, "STC_STS_INTERLACEDTOPGRAN:"},
        {STC_STS_INVALIDJOBHANDLE, "STC_STS_INVALIDJOBHANDLE:"},
        {STC_STS_MODECONFLICT, "STC_STS_MODECONFLICT:"},
        {STC_STS_INVALIDHWND, "STC_STS_INVALIDHWND:"},
        {STC_STS_INVALIDWNDALIGN, "STC_STS_INVALIDWNDALIGN:"},
        {STC_STS_PALETTESIZE, "STC_STS_PALETTESIZE:"},
        {STC_STS_NODCI, "STC_STS_NODCI:"},
        {STC_STS_PASSTHRULUTRANGE, "STC_STS_PASSTHRULUTRANGE:"},
        {STC_STS_PASSTHRUPALRANGE, "STC_STS_PASSTHRUPALRANGE:"},
        {STC_STS_SYS_RES, "STC_STS_SYS_RES:"},
        {STC_STS_INVALID_SURFACE_HANDLE, "STC_STS_INVALID_SURFACE_HANDLE:"},
        {STC_STS_FIXED_COLOR, "STC_STS_FIXED_COLOR:"},
        {STC_STS_INVALID_FLAGS, "STC_STS_INVALID_FLAGS:"},
        {STC_STS_NO_MORE_SURFACE, "STC_STS_NO_MORE_SURFACE:"},
        {STC_STS_PASSTHRU_STOPPED, "STC_STS_PASSTHRU_STOPPED:"},
        {STC_STS_NO_DDI, "STC_STS_NO_DDI:"},
        {STC_STS_SURFACE_TOO_SMALL, "STC_STS_SURFACE_TOO_SMALL:"},
        {STC_STS_PITCH_TOO_SMALL, "STC_STS_PITCH_TOO_SMALL:"},
        {STC_STS_NO_IMAGE_IN_FRAME, "STC_STS_NO_IMAGE_IN_FRAME:"},
        {STC_STS_INVALID_SURFACE_DC, "STC_STS_INVALID_SURFACE_DC:"},
        {STC_STS_SURFACE_NOT_SET, "STC_STS_SURFACE_NOT_SET:"},
        {STC_STS_NO_VIDEO_SIGNAL, "STC_STS_NO_VIDEO_SIGNAL:"},
    };
    for (const auto& s : statuses)
        EXPECT_EQ(Message(s.status).rfind(s.prefix, 0), 0u) << s.prefix;
}

TEST(StatusMessage, ApiStatusWithoutText) {
    EXPECT_EQ(Message(0x92000003), "Status (0x92000003) appears to be a Strata API status, but "
                                   "no associated message was found.");
    EXPECT_EQ(Message(0x94000101), "Status (0x94000101) appears to be a Strata API status, but "
                                   "no associated message was found.");
}

TEST(StatusMessage, DriverStatusDescriptions) {
    EXPECT_EQ(Message(0x80044006),
              "Status (0x80044006) is not a Strata API status.  It may be a Strata device driver "
              "status.  If so, the severity and status code are as follows:\n\n   Severity = "
              "Normal,   Status Code = 0x4006.");
    EXPECT_EQ(Message(0x84000102),
              "Status (0x84000102) is not a Strata API status.  It may be a Strata device driver "
              "status.  If so, the severity and status code are as follows:\n\n   Severity = "
              "Error,   Status Code = 0x102.");
}

TEST(StatusMessage, DeviceDependentDescriptions) {
    EXPECT_EQ(Message(0x14000001),
              "Status (0x14000001) is not a known Strata API status.  It may be a device "
              "dependent API status.  If so, the severityand status code are as follows:\n\n   "
              "Severity = Error\n   Status Code = 0x1.");
    EXPECT_EQ(Message(0x02000a05),
              "Status (0x2000a05) is not a Strata API status.  It may be a device dependent "
              "status returned from a device driver.  If so, the severity and status code are as "
              "follows:\n\n   Severity = Warning,   Status Code = 0xa05.");
}

TEST(StatusMessage, TextsComeFromTheRecordedModule) {
    // The string table is linked into this program; a module without it finds no text.
    SetMessageModule(GetModuleHandleW(L"kernel32.dll"));
    const std::string missing = Message(STC_STS_NULL);
    SetMessageModule(nullptr);
    EXPECT_EQ(missing, "Status (0x94000006) appears to be a Strata API status, but no "
                       "associated message was found.");

    SetMessageModule(GetModuleHandleW(nullptr));
    std::string big(400, 'x');
    EXPECT_EQ(GetApiStatusMessage(STC_STS_NULL, big.data(), 300), STC_STS_NORMAL);
    SetMessageModule(nullptr);
    EXPECT_EQ(std::string(big.c_str()), Message(STC_STS_NULL));
    EXPECT_EQ(big[300], 'x'); // nothing past bufferLength
}

TEST(DriverLastStatus, FetchedAndTranslated) {
    TestDriver driver;
    ASSERT_TRUE(driver.ok());
    driver.port().FailNext(msg::STM_GET_TIMEOUT, 0x84000107);
    EXPECT_EQ(SendMessageChecked(driver.handle(), msg::STM_GET_TIMEOUT, 0, 0), STC_STS_TIMEOUT);

    driver.port().StartTrace();
    EXPECT_EQ(GetDriverLastStatus(driver.handle()), STC_STS_TIMEOUT);
    const auto trace = driver.port().Trace();
    ASSERT_EQ(trace.size(), 1u);
    EXPECT_EQ(trace[0].Message, msg::STM_GET_LAST_STATUS);
    EXPECT_EQ(trace[0].Param1, 0u);
    EXPECT_EQ(trace[0].DriverStatus, 0x84000107u);
    const OutputDescriptor d = driver.LastDescriptor(); // as received
    EXPECT_EQ(d.StructSize, sizeof(OutputDescriptor));
    EXPECT_EQ(d.BufferSize, 4u);
    EXPECT_EQ(d.BytesWritten, 0u);
    EXPECT_NE(d.Buffer, nullptr);
}

TEST(DriverLastStatus, WrongAnswerSizeOrRefusalIsGetStatusFail) {
    TestDriver driver;
    ASSERT_TRUE(driver.ok());
    driver.port().FailNext(msg::STM_GET_TIMEOUT, 0x84000102);
    EXPECT_EQ(SendMessageChecked(driver.handle(), msg::STM_GET_TIMEOUT, 0, 0), STC_STS_NULL);
    driver.SetStatusAnswerSize(2);
    EXPECT_EQ(GetDriverLastStatus(driver.handle()), STC_STS_GETSTATUSFAIL);
    driver.SetStatusAnswerSize(8);
    EXPECT_EQ(GetDriverLastStatus(driver.handle()), STC_STS_GETSTATUSFAIL);
    driver.SetStatusAnswerSize(4);
    EXPECT_EQ(GetDriverLastStatus(driver.handle()), STC_STS_NULL);
    // Any nonzero answer counts; 0 means the driver did not handle it.
    driver.port().FailNext(msg::STM_GET_LAST_STATUS, 0, 0);
    EXPECT_EQ(GetDriverLastStatus(driver.handle()), STC_STS_GETSTATUSFAIL);
}

TEST(DriverLastStatus, FailureStatusByFamily) {
    TestDriver driver;
    ASSERT_TRUE(driver.ok());
    HDRVR h = driver.handle();
    struct Case {
        MessageFamily family;
        uint32_t driverStatus;
        STT_APISTATUS expected;
    } cases[] = {
        {MessageFamily::Standard, 0x84000105, STC_STS_UNSUPKEY},
        {MessageFamily::Standard, 0x04000002, 0x04000002},
        {MessageFamily::Standard, 0, STC_STS_NORMAL}, // no last status: counts as success
        {MessageFamily::LineScan, 0x84000105, STC_STS_UNSUPKEY},
        {MessageFamily::Camera, 0x84000105, STC_STS_UNSUPKEY},
        {MessageFamily::Camera, 0x04000003, 0x14000003},
        {MessageFamily::Camera, 0x04000009, STC_STS_UNKNOWNSTATUS},
        {MessageFamily::Lib7400, 0x04000001, 0x14000001},
        {MessageFamily::Color, 0x84000105, STC_STS_UNSUPKEY},
        {MessageFamily::Color, 0x04000001, STC_STS_UNKNOWNSTATUS},
    };
    for (const Case& c : cases) {
        driver.port().FailNext(0x6999, c.driverStatus);
        EXPECT_EQ(SendMessageChecked(h, 0x6999, 0, 0, c.family), c.expected)
            << std::hex << c.driverStatus << " family " << static_cast<int>(c.family);
    }
    // Only exactly 1 is success: 2 is a failure too.
    driver.port().FailNext(0x6999, 0x84000103, 2);
    EXPECT_EQ(SendMessageChecked(h, 0x6999, 0, 0), STC_STS_BUSY);
    EXPECT_EQ(SendMessageChecked(h, 0x6999, 0, 0), STC_STS_NORMAL);
}
