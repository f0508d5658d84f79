// The fixture of the frame tests: the installed control on a pinned simulator, with helpers
// that allocate frames, read their pixels and look at saved files.
#pragma once

#include "control_support.h"
#include "test_container.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace frames_test {

using Microsoft::WRL::ComPtr;
using test::kSimBoards;

constexpr uint32_t kDrawAcquiredFrame = 0x6056;

class Frames : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(apartment_.Result(), S_OK);
        ASSERT_TRUE(simulator_.ok());
        dispatch_ = test::CreateControl();
        ASSERT_TRUE(dispatch_);
        ASSERT_EQ(dispatch_.As(&control_), S_OK);
    }
    void Open(const wchar_t* board) { ASSERT_TRUE(test::OpenBoard(dispatch_.Get(), board)); }
    LONG Allocate(LONG hscale = -1, StorageModeEnum mode = DefaultImage) {
        LONG index = -99;
        EXPECT_EQ(control_->AllocateFrame(-1, -1, -1, -1, hscale, -1, DefaultFrame, mode, &index),
                  S_OK);
        return index;
    }
    LONG Active() {
        LONG index = -99;
        control_->get_ActiveFrame(&index);
        return index;
    }
    std::vector<uint8_t> ReadAll(LONG frame, LONG width, LONG height, LONG bytesPerPixel) {
        VARIANT data;
        VariantInit(&data);
        EXPECT_EQ(control_->ReadFrameEx(frame, 0, 0, width, height, &data), S_OK);
        std::vector<uint8_t> bytes(size_t(width) * height * bytesPerPixel);
        if (V_VT(&data) == (VT_ARRAY | VT_UI1)) {
            com::SafeArrayData<uint8_t> pixels(V_ARRAY(&data));
            if (pixels.Ok()) std::copy(pixels.Data(), pixels.Data() + bytes.size(), bytes.begin());
        }
        VariantClear(&data);
        return bytes;
    }

    test::Apartment apartment_;
    test::PinnedSimulator simulator_;
    ComPtr<IDispatch> dispatch_;
    ComPtr<ICorvid3> control_;
};

inline VARIANT LongArray(std::vector<LONG> values, VARTYPE type = VT_I4) {
    SAFEARRAY* array = SafeArrayCreateVector(type, 0, static_cast<ULONG>(values.size()));
    void* data = nullptr;
    SafeArrayAccessData(array, &data);
    if (type == VT_VARIANT) {
        auto* items = static_cast<VARIANT*>(data);
        for (size_t i = 0; i < values.size(); ++i)
            items[i] = test::Long(values[i]);
    } else {
        std::memcpy(data, values.data(), values.size() * 4);
    }
    SafeArrayUnaccessData(array);
    VARIANT v;
    V_VT(&v) = VT_ARRAY | type;
    V_ARRAY(&v) = array;
    return v;
}

inline std::vector<uint8_t> FileBytes(const std::wstring& name) {
    std::ifstream file(std::string(name.begin(), name.end()), std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

inline std::wstring TempFile(const wchar_t* name) {
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + name;
}

inline uint32_t U32At(const std::vector<uint8_t>& bytes, size_t offset) {
    uint32_t value = 0;
    std::memcpy(&value, bytes.data() + offset, 4);
    return value;
}

} // namespace frames_test
