// Persistence through the installed control: categories per DISPID, the property pages,
// property bags, streams and storages on the simulated boards.
#include "persistence_fixture.h"

#include "stapi.h"

#include <gtest/gtest.h>

namespace persistence_test {
namespace {

TEST_F(Persistence, CategoriesArePerHundredDispids) {
    ComPtr<ICategorizeProperties> categories;
    ASSERT_EQ(dispatch_.As(&categories), S_OK);
    PROPCAT category = 0;
    EXPECT_EQ(categories->MapProperyToCategory(305, &category), S_OK);
    EXPECT_EQ(category, FGMemoryCat);
    EXPECT_EQ(categories->MapProperyToCategory(405, &category), S_OK);
    EXPECT_EQ(category, FGInputCat);
    EXPECT_EQ(categories->MapProperyToCategory(1105, &category), S_OK);
    EXPECT_EQ(category, FGLineScanCat);
    EXPECT_EQ(categories->MapProperyToCategory(-501, &category), E_NOTIMPL);
    EXPECT_EQ(categories->MapProperyToCategory(1200, &category), E_NOTIMPL);
    EXPECT_EQ(categories->MapProperyToCategory(305, nullptr), E_POINTER);

    BSTR name = nullptr;
    EXPECT_EQ(categories->GetCategoryName(FGSyncMasterCat, 0x409, &name), S_OK);
    EXPECT_EQ(test::Wide(name), L"Sync Master");
    SysFreeString(name);
    name = nullptr;
    EXPECT_EQ(categories->GetCategoryName(12, 0x409, &name), E_NOTIMPL);
    EXPECT_EQ(name, nullptr);
}

TEST_F(Persistence, TheMapNamesTheTypeLibrarysDispids) {
    for (const core::PropertyMapEntry& entry : core::PropertyMap()) {
        std::wstring member = entry.name;
        if (member == L"HorizontalScale") member = L"FrameHorizontalScale";
        if (member == L"VerticalScale") member = L"FrameVerticalScale";
        EXPECT_EQ(DispidOf(dispatch_.Get(), member.c_str()), entry.dispid)
            << std::string(member.begin(), member.end());
    }
}

TEST_F(Persistence, PropertyPagesInMapOrder) {
    ComPtr<ISpecifyPropertyPages> specify;
    ASSERT_EQ(dispatch_.As(&specify), S_OK);
    CAUUID pages{};
    ASSERT_EQ(specify->GetPages(&pages), S_OK);
    const CLSID expected[] = {CLSID_GeneralPage, CLSID_InputPage,   CLSID_SpatialPage,
                              CLSID_SyncPage,    CLSID_TriggerPage, CLSID_DisplayPage,
                              CLSID_DigIOPage,   CLSID_ColorPage,   CLSID_DigCamPage};
    ASSERT_EQ(pages.cElems, std::size(expected));
    for (ULONG i = 0; i < pages.cElems; ++i)
        EXPECT_TRUE(pages.pElems[i] == expected[i]) << i;
    CoTaskMemFree(pages.pElems);
}

TEST_F(Persistence, ABagGetsEveryPropertyInMapOrderAndGivesThemBack) {
    Open(L"SIM7100");
    ASSERT_EQ(Put(dispatch_.Get(), L"Timeout", 9), S_OK);
    Nudge(L"ClampStart");
    ASSERT_EQ(Put(dispatch_.Get(), L"HorizontalTransition", OnLowToHigh), S_OK);
    ASSERT_EQ(Put(dispatch_.Get(), L"BackColor", 0x123456), S_OK);
    ComPtr<IPersistStreamInit> stream;
    ASSERT_EQ(dispatch_.As(&stream), S_OK);
    EXPECT_EQ(stream->IsDirty(), S_OK);

    ComPtr<MemoryBag> bag = SavedBag(dispatch_.Get());
    EXPECT_EQ(bag->Names(), persistence_test::MapNames());
    EXPECT_EQ(stream->IsDirty(), S_FALSE);
    ASSERT_TRUE(bag->Find(L"ActiveDevice"));
    EXPECT_EQ(test::Wide(V_BSTR(bag->Find(L"ActiveDevice"))), L"SIM7100");
    EXPECT_EQ(V_I4(bag->Find(L"Timeout")), 9);

    ComPtr<IDispatch> other =
        ExpectRestoredInNewControl([&](IDispatch* control) { return LoadBag(control, bag.Get()); });
    ASSERT_TRUE(other);
    EXPECT_EQ(bag->reads, persistence_test::MapNames());
    EXPECT_EQ(test::TextOf(test::GetProperty(other.Get(), L"ActiveDevice")), L"SIM7100");
}

TEST_F(Persistence, AValueTheBagLacksKeepsItsCurrentValueAndTheLoadGoesOn) {
    Open(L"SIM7100");
    ComPtr<MemoryBag> bag = SavedBag(dispatch_.Get());
    bag->Remove(L"ActiveDevice"); // the device stays open as it is
    bag->Remove(L"ClampStart");
    V_I4(bag->Find(L"HorizontalTransition")) = OnLowToHigh;
    const LONG clamp = Nudge(L"ClampStart");
    ASSERT_EQ(LoadBag(dispatch_.Get(), bag.Get()), S_OK);
    EXPECT_EQ(Get(dispatch_.Get(), L"ClampStart"), clamp);
    EXPECT_EQ(Get(dispatch_.Get(), L"HorizontalTransition"), OnLowToHigh);
}

TEST_F(Persistence, DeviceFailuresWhileLoadingAreSilentAndReportedAgainAfterwards) {
    Open(L"SIM7100");
    const LONG clamp = Get(dispatch_.Get(), L"ClampStart");
    ComPtr<MemoryBag> bag = SavedBag(dispatch_.Get());
    bag->Remove(L"ActiveDevice");
    V_I4(bag->Find(L"Timeout")) = 4;
    Nudge(L"ClampStart");
    // The time-out write fails once; the load goes on with the clamp.
    simulator_.Port().FailNext(imaging::msg::STM_SET_TIMEOUT, 0x94000006);
    SetErrorInfo(0, nullptr);
    EXPECT_EQ(LoadBag(dispatch_.Get(), bag.Get()), S_OK);
    EXPECT_FALSE(test::TakeErrorInfo().present);
    EXPECT_EQ(Get(dispatch_.Get(), L"ClampStart"), clamp);
    EXPECT_NE(Get(dispatch_.Get(), L"Timeout"), 4);
    ExpectTimeoutFailureReported();
}

TEST_F(Persistence, PropertiesTheBoardLacksAreSavedAndLoadedWithoutFailing) {
    // The monochrome board has no color parameters and no sync master.
    Open(L"SIM7100");
    CallResult brightness = test::GetProperty(dispatch_.Get(), L"Brightness");
    ASSERT_NE(brightness.hr, S_OK);
    ComPtr<MemoryBag> bag = SavedBag(dispatch_.Get());
    ASSERT_TRUE(bag->Find(L"Brightness"));
    EXPECT_EQ(LoadBag(dispatch_.Get(), bag.Get()), S_OK);
    // Without a device every device property fails, and still the load succeeds.
    ComPtr<IDispatch> closed = test::CreateControl();
    ComPtr<MemoryBag> empty = SavedBag(closed.Get());
    EXPECT_EQ(empty->Names(), persistence_test::MapNames());
    EXPECT_EQ(LoadBag(closed.Get(), empty.Get()), S_OK);
    EXPECT_NE(test::GetProperty(closed.Get(), L"Timeout").hr, S_OK);
}

TEST_F(Persistence, AValueOfTheWrongTypeEndsTheLoad) {
    Open(L"SIM7100");
    ComPtr<MemoryBag> bag = SavedBag(dispatch_.Get());
    VARIANT* gain = bag->Find(L"Gain");
    ASSERT_TRUE(gain);
    VariantClear(gain);
    V_VT(gain) = VT_BSTR;
    V_BSTR(gain) = SysAllocString(L"loud");
    V_I4(bag->Find(L"HorizontalTransition")) = OnLowToHigh;
    bag->raw = true;
    EXPECT_EQ(LoadBag(dispatch_.Get(), bag.Get()), E_FAIL);
    EXPECT_EQ(Get(dispatch_.Get(), L"HorizontalTransition"), OnHighToLow);
    // The flag is down again: failures are reported.
    ComPtr<IPersistPropertyBag> persist;
    ASSERT_EQ(dispatch_.As(&persist), S_OK);
    EXPECT_EQ(persist->Load(nullptr, nullptr), E_POINTER);
    EXPECT_EQ(persist->InitNew(), S_OK);
    ExpectTimeoutFailureReported();
}

// A memory stream with the control's saved properties.
ComPtr<IStream> SavedStream(IUnknown* control) {
    ComPtr<IStream> stream;
    EXPECT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
    ComPtr<IPersistStreamInit> persist;
    EXPECT_EQ(control->QueryInterface(IID_PPV_ARGS(&persist)), S_OK);
    EXPECT_EQ(persist->Save(stream.Get(), TRUE), S_OK);
    return stream;
}

std::vector<uint8_t> BytesOf(IStream* stream) {
    STATSTG stat{};
    stream->Stat(&stat, STATFLAG_NONAME);
    std::vector<uint8_t> bytes(static_cast<size_t>(stat.cbSize.QuadPart));
    LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    ULONG read = 0;
    stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read);
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    return bytes;
}

TEST_F(Persistence, AStreamHoldsVersionAndOneRecordPerProperty) {
    Open(L"SIM7100");
    ASSERT_EQ(Put(dispatch_.Get(), L"Timeout", 6), S_OK);
    ASSERT_EQ(Put(dispatch_.Get(), L"BasedSourceModeEnable", -1), S_OK);
    ComPtr<IStream> stream = SavedStream(dispatch_.Get());
    const std::vector<uint8_t> bytes = BytesOf(stream.Get());
    // Version, then ActiveDevice as a string record of "SIM7100" with its terminator.
    const std::vector<uint8_t> head = {
        0x00,    0x03, 0x00, 0x00, VT_BSTR, 0, 16,  0, 0, 0, 'S',   0, 'I', 0, 'M', 0,
        '7',     0,    '1',  0,    '0',     0, '0', 0, 0, 0, VT_I4, 0, 6,   0, 0,   0, // Timeout
        VT_BOOL, 0,    0xFF, 0xFF};                                                    // based mode
    ASSERT_GE(bytes.size(), head.size());
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + head.size()), head);

    ComPtr<IDispatch> other = ExpectRestoredInNewControl(
        [&](IDispatch* control) { return As<IPersistStreamInit>(control)->Load(stream.Get()); });
    ASSERT_TRUE(other);
    EXPECT_EQ(As<IPersistStreamInit>(other.Get())->IsDirty(), S_FALSE);
}

TEST_F(Persistence, AStreamOfALaterVersionOrCutShortIsRefused) {
    ComPtr<IStream> stream = SavedStream(dispatch_.Get());
    std::vector<uint8_t> bytes = BytesOf(stream.Get());
    ComPtr<IPersistStreamInit> persist;
    ASSERT_EQ(dispatch_.As(&persist), S_OK);
    auto load = [&](const std::vector<uint8_t>& data) {
        ComPtr<IStream> copy;
        CreateStreamOnHGlobal(nullptr, TRUE, &copy);
        copy->Write(data.data(), static_cast<ULONG>(data.size()), nullptr);
        LARGE_INTEGER start{};
        copy->Seek(start, STREAM_SEEK_SET, nullptr);
        return persist->Load(copy.Get());
    };
    EXPECT_EQ(load(bytes), S_OK);
    bytes[0] = 0x01; // 0x0301
    EXPECT_EQ(load(bytes), E_FAIL);
    bytes[0] = 0x00;
    EXPECT_EQ(load(std::vector<uint8_t>(bytes.begin(), bytes.end() - 3)), E_FAIL);
    // A string record that claims more than the stream holds.
    std::vector<uint8_t> huge(bytes.begin(), bytes.begin() + 6);
    huge.insert(huge.end(), {0xFE, 0xFF, 0xFF, 0x7F, 'A', 0});
    EXPECT_EQ(load(huge), E_FAIL);
    EXPECT_EQ(persist->Load(static_cast<IStream*>(nullptr)), E_POINTER);
    // Failures are reported again once the load has returned.
    EXPECT_EQ(test::GetProperty(dispatch_.Get(), L"Timeout").hr, DISP_E_EXCEPTION);
}

TEST_F(Persistence, AStorageKeepsTheStreamAsContents) {
    Open(L"SIM7400");
    ASSERT_EQ(Put(dispatch_.Get(), L"Timeout", 8), S_OK);
    ComPtr<ILockBytes> bytes;
    ASSERT_EQ(CreateILockBytesOnHGlobal(nullptr, TRUE, &bytes), S_OK);
    ComPtr<IStorage> storage;
    ASSERT_EQ(StgCreateDocfileOnILockBytes(
                  bytes.Get(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, &storage),
              S_OK);
    ComPtr<IPersistStorage> persist;
    ASSERT_EQ(dispatch_.As(&persist), S_OK);
    ASSERT_EQ(persist->Save(storage.Get(), FALSE), S_OK);
    EXPECT_EQ(persist->SaveCompleted(nullptr), S_OK);

    ComPtr<IStream> contents;
    ASSERT_EQ(
        storage->OpenStream(L"Contents", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &contents),
        S_OK);
    EXPECT_EQ(BytesOf(contents.Get()), BytesOf(SavedStream(dispatch_.Get()).Get()));
    contents.Reset();

    ComPtr<IDispatch> other = ExpectRestoredInNewControl(
        [&](IDispatch* control) { return As<IPersistStorage>(control)->Load(storage.Get()); });
    ASSERT_TRUE(other);
    CLSID clsid{};
    EXPECT_EQ(As<IPersistStorage>(other.Get())->GetClassID(&clsid), S_OK);
    EXPECT_TRUE(clsid == CLSID_Corvid);
}

struct Lists {
    std::vector<std::wstring> strings;
    std::vector<DWORD> cookies;
};

Lists PredefinedStrings(IPerPropertyBrowsing* browsing, DISPID id, HRESULT expected = S_OK) {
    CALPOLESTR strings{};
    CADWORD cookies{};
    EXPECT_EQ(browsing->GetPredefinedStrings(id, &strings, &cookies), expected);
    Lists lists;
    EXPECT_EQ(strings.cElems, cookies.cElems);
    for (ULONG i = 0; i < strings.cElems; ++i) {
        lists.strings.push_back(strings.pElems[i]);
        lists.cookies.push_back(cookies.pElems[i]);
        CoTaskMemFree(strings.pElems[i]);
    }
    CoTaskMemFree(strings.pElems);
    CoTaskMemFree(cookies.pElems);
    return lists;
}

TEST_F(Persistence, ValueListsComeFromTheDeviceAndTheDeviceList) {
    ComPtr<IPerPropertyBrowsing> browsing;
    ASSERT_EQ(dispatch_.As(&browsing), S_OK);
    EXPECT_EQ(PredefinedStrings(browsing.Get(), 100).strings,
              std::vector<std::wstring>{L"Localhost"});
    const Lists devices = PredefinedStrings(browsing.Get(), 203);
    const LONG count = Get(dispatch_.Get(), L"DeviceCount");
    ASSERT_EQ(devices.strings.size(), size_t(count));
    for (LONG i = 0; i < count; ++i) {
        EXPECT_EQ(devices.cookies[i], DWORD(i));
        test::CallResult name =
            test::Invoke(dispatch_.Get(), L"GetDeviceName", {test::Short(SHORT(i))});
        EXPECT_EQ(devices.strings[i], test::TextOf(name));
        VARIANT value;
        ASSERT_EQ(browsing->GetPredefinedValue(203, i, &value), S_OK);
        EXPECT_EQ(test::Wide(V_BSTR(&value)), test::TextOf(name));
        VariantClear(&value);
    }

    Open(L"SIM7400");
    LONG sources = 0;
    ASSERT_EQ(control_->QueryInputCaps(STC_FG_IC_INPUT_SOURCE_COUNT, &sources, 4), S_OK);
    const Lists inputs = PredefinedStrings(browsing.Get(), 437);
    ASSERT_EQ(inputs.strings.size(), size_t(std::min(sources, 6L)));
    EXPECT_EQ(inputs.strings.front(), L"Channel0");
    EXPECT_EQ(inputs.cookies.back(), DWORD(inputs.strings.size() - 1));
    LONG limits[4] = {};
    if (control_->QueryInputCaps(static_cast<stSTT_FG_INPUT_CAP_KEY>(291), limits, 16) == S_OK &&
        limits[0] > 0) {
        std::vector<LONG> thresholds(limits[0]);
        ASSERT_EQ(control_->QueryInputCaps(static_cast<stSTT_FG_INPUT_CAP_KEY>(292),
                                           thresholds.data(), limits[0] * 4),
                  S_OK);
        const Lists listed = PredefinedStrings(browsing.Get(), 431);
        ASSERT_EQ(listed.cookies.size(), thresholds.size());
        EXPECT_EQ(listed.strings.front(), std::to_wstring(thresholds.front()));
        EXPECT_EQ(LONG(listed.cookies.back()), thresholds.back());
    }
    VARIANT value;
    EXPECT_EQ(browsing->GetPredefinedValue(430, 65538, &value), S_OK);
    EXPECT_EQ(V_VT(&value), VT_I4);
    EXPECT_EQ(V_I4(&value), 65538);
    EXPECT_EQ(browsing->GetPredefinedValue(100, 0, &value), S_OK);
    EXPECT_EQ(test::Wide(V_BSTR(&value)), L"Localhost");
    VariantClear(&value);

    EXPECT_TRUE(PredefinedStrings(browsing.Get(), 206).strings.empty());
    EXPECT_EQ(browsing->GetPredefinedValue(206, 0, &value), E_NOTIMPL);
    CADWORD cookies{};
    EXPECT_EQ(browsing->GetPredefinedStrings(437, nullptr, &cookies), E_POINTER);
    BSTR text = nullptr;
    EXPECT_EQ(browsing->GetDisplayString(206, &text), E_NOTIMPL);
}

TEST_F(Persistence, EachPersistedPropertyOpensItsPage) {
    ComPtr<IPerPropertyBrowsing> browsing;
    ASSERT_EQ(dispatch_.As(&browsing), S_OK);
    CLSID page{};
    EXPECT_EQ(browsing->MapPropertyToPage(206, &page), S_OK);
    EXPECT_TRUE(page == CLSID_GeneralPage);
    EXPECT_EQ(browsing->MapPropertyToPage(316, &page), S_OK);
    EXPECT_TRUE(page == CLSID_SpatialPage);
    EXPECT_EQ(browsing->MapPropertyToPage(1004, &page), S_OK);
    EXPECT_TRUE(page == CLSID_DigCamPage);
    EXPECT_EQ(browsing->MapPropertyToPage(-501, &page), PERPROP_E_NOPAGEAVAILABLE);
    EXPECT_TRUE(page == CLSID_NULL);
    EXPECT_EQ(browsing->MapPropertyToPage(1105, &page), PERPROP_E_NOPAGEAVAILABLE);
    EXPECT_EQ(browsing->MapPropertyToPage(206, nullptr), E_POINTER);
}

} // namespace
} // namespace persistence_test
