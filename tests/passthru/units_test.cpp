// The platform-free pieces of live video: table entries, the passthru size, the fill counters
// of the extended mode, and host arrays read as integers.
#include "host_array.h"
#include "passthru.h"

#include <gtest/gtest.h>

namespace core {
namespace {

TEST(PassthruUnits, EntriesAreTheThreeLowBytesHighFirst) {
    const int32_t values[] = {0x00112233, static_cast<int32_t>(0xFFA0B0C0), 0x7F};
    EXPECT_EQ(PackRgbEntries(values),
              (std::vector<uint8_t>{0x11, 0x22, 0x33, 0xA0, 0xB0, 0xC0, 0x00, 0x00, 0x7F}));
    EXPECT_TRUE(PackRgbEntries({}).empty());
}

TEST(PassthruUnits, SizeIsTheFrameWithinTheLimitsTimesTheHardwareScale) {
    const imaging::stSTT_LNG_RNG widths{16, 800, 4, 640}, heights{16, 600, 2, 480};
    EXPECT_EQ(ScaledPassthruSize(640, 480, widths, heights, 50, 100), (PassthruSize{320, 480}));
    EXPECT_EQ(ScaledPassthruSize(1024, 1024, widths, heights, 100, 100), (PassthruSize{800, 600}));
    EXPECT_EQ(ScaledPassthruSize(333, 101, widths, heights, 33, 50), (PassthruSize{109, 50}));
    // Large sizes and scales do not overflow on the way.
    const imaging::stSTT_LNG_RNG huge{0, INT32_MAX, 1, 0};
    EXPECT_EQ(ScaledPassthruSize(INT32_MAX, 100000, huge, huge, 100, 65535),
              (PassthruSize{INT32_MAX, 65535000}));
}

TEST(PassthruUnits, FilledPositionsComeInAscendingOrderAndAreTaken) {
    std::vector<int32_t> counters{1, 0, 3, -2, 0, 1};
    EXPECT_EQ(TakeFilledPositions(counters), (std::vector<size_t>{0, 2, 5}));
    EXPECT_EQ(counters, (std::vector<int32_t>{0, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(TakeFilledPositions(counters).empty());
}

SAFEARRAY* Vector(VARTYPE type, ULONG count) {
    return SafeArrayCreateVector(type, 0, count);
}

TEST(PassthruUnits, HostArraysReadAsIntegers) {
    com::UniqueSafeArray longs(Vector(VT_UI4, 2));
    {
        com::SafeArrayData<uint32_t> data(longs.Get());
        data.Data()[0] = 0xFF112233u; // four-byte integers keep their bits
        data.Data()[1] = 7;
    }
    EXPECT_EQ(ArrayIntegers(longs.Get(), 2), (std::vector<int32_t>{int32_t(0xFF112233u), 7}));
    EXPECT_EQ(ArrayIntegers(longs.Get(), 1), (std::vector<int32_t>{int32_t(0xFF112233u)}));
    EXPECT_FALSE(ArrayIntegers(longs.Get(), 3)) << "fewer elements than asked for";

    com::UniqueSafeArray bytes(Vector(VT_UI1, 2));
    {
        com::SafeArrayData<uint8_t> data(bytes.Get());
        data.Data()[0] = 0x80;
        data.Data()[1] = 0x01;
    }
    EXPECT_EQ(ArrayIntegers(bytes.Get(), 2), (std::vector<int32_t>{0x80, 0x01}));

    com::UniqueSafeArray reals(Vector(VT_R8, 1));
    {
        com::SafeArrayData<double> data(reals.Get());
        data.Data()[0] = 1193046.0; // &H123456
    }
    EXPECT_EQ(ArrayIntegers(reals.Get(), 1), (std::vector<int32_t>{0x123456}));

    // A script's array: VARIANTs of any numeric type, or text that reads as a number.
    com::UniqueSafeArray variants(Vector(VT_VARIANT, 3));
    {
        com::SafeArrayData<VARIANT> data(variants.Get());
        V_VT(&data.Data()[0]) = VT_I2;
        V_I2(&data.Data()[0]) = 255;
        V_VT(&data.Data()[1]) = VT_I4;
        V_I4(&data.Data()[1]) = 0x112233;
        V_VT(&data.Data()[2]) = VT_BSTR;
        V_BSTR(&data.Data()[2]) = SysAllocString(L"12");
    }
    EXPECT_EQ(ArrayIntegers(variants.Get(), 3), (std::vector<int32_t>{255, 0x112233, 12}));
    {
        com::SafeArrayData<VARIANT> data(variants.Get());
        VariantClear(&data.Data()[2]);
        V_VT(&data.Data()[2]) = VT_BSTR;
        V_BSTR(&data.Data()[2]) = SysAllocString(L"red");
    }
    EXPECT_FALSE(ArrayIntegers(variants.Get(), 3)) << "text that is no number";

    com::UniqueSafeArray strings(Vector(VT_BSTR, 1));
    EXPECT_FALSE(ArrayIntegers(strings.Get(), 1)) << "only numbers and VARIANTs";
    EXPECT_FALSE(ArrayIntegers(nullptr, 0));
}

} // namespace
} // namespace core
