// The control sited in a container: in-place activation in its own child window, painting
// of the stock colors, property notification with request-edit, view and data changes.
#include "com_support.h"
#include "test_container.h"

#include "corvid_h.h"

#include <gtest/gtest.h>
#include <olectl.h>

#include <cstring>

namespace test {
namespace {

using com::ComPtr;

constexpr RECT kPosition{10, 20, 210, 120};

class ContainerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_HRESULT_SUCCEEDED(apartment_.Result());
        ASSERT_NE(frame_.Get(), nullptr);
        ASSERT_HRESULT_SUCCEEDED(com::Make(site_, frame_.Get(), kPosition));
        ASSERT_EQ(
            CoCreateInstance(CLSID_Corvid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&control_)),
            S_OK);
        ASSERT_EQ(control_.As(&object_), S_OK);
        ASSERT_EQ(object_->SetClientSite(site_.Get()), S_OK);
        ComPtr<IConnectionPointContainer> container;
        ASSERT_EQ(control_.As(&container), S_OK);
        ASSERT_EQ(container->FindConnectionPoint(IID_IPropertyNotifySink, &notify_), S_OK);
        ASSERT_EQ(notify_->Advise(static_cast<IPropertyNotifySink*>(site_.Get()), &cookie_), S_OK);
    }
    void TearDown() override {
        if (notify_) notify_->Unadvise(cookie_);
        if (object_) {
            object_->Close(OLECLOSE_NOSAVE);
            object_->SetClientSite(nullptr);
        }
    }
    HWND Activate() {
        RECT position = kPosition;
        EXPECT_EQ(object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_.Get(), 0, frame_.Get(),
                                  &position),
                  S_OK);
        ComPtr<IOleInPlaceObject> inPlace;
        EXPECT_EQ(object_.As(&inPlace), S_OK);
        HWND window = nullptr;
        EXPECT_EQ(inPlace->GetWindow(&window), S_OK);
        PumpMessages();
        return window;
    }

    Apartment apartment_;
    FrameWindow frame_;
    ComPtr<TestSite> site_;
    ComPtr<ICorvid3> control_;
    ComPtr<IOleObject> object_;
    ComPtr<IConnectionPoint> notify_;
    DWORD cookie_ = 0;
};

TEST_F(ContainerTest, InPlaceActivationCreatesTheControlWindow) {
    HWND window = Activate();
    ASSERT_TRUE(IsWindow(window));
    EXPECT_EQ(GetParent(window), frame_.Get());
    EXPECT_TRUE(IsWindowVisible(window));
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    EXPECT_STREQ(className, L"CorvidControlWindow");
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 200);
    EXPECT_EQ(client.bottom, 100);
    EXPECT_EQ(site_->inPlaceActivations, 1);
}

TEST_F(ContainerTest, PaintsBackColorOutlinedInForeColor) {
    HWND window = Activate();
    ASSERT_TRUE(IsWindow(window));
    EXPECT_EQ(PixelOf(window, 100, 50), RGB(255, 255, 255));
    EXPECT_EQ(PixelOf(window, 0, 0), RGB(0, 0, 0));
    EXPECT_EQ(PixelOf(window, 199, 99), RGB(0, 0, 0));

    ASSERT_EQ(control_->put_BackColor(0x000000FF), S_OK); // OLE_COLOR of pure red
    ASSERT_EQ(control_->put_ForeColor(0x0000FF00), S_OK);
    EXPECT_EQ(PixelOf(window, 100, 50), RGB(255, 0, 0));
    EXPECT_EQ(PixelOf(window, 0, 0), RGB(0, 255, 0));
}

TEST_F(ContainerTest, SystemColorIsTranslatedForPainting) {
    HWND window = Activate();
    ASSERT_EQ(control_->put_BackColor(0x80000000 | COLOR_HIGHLIGHT), S_OK);
    EXPECT_EQ(PixelOf(window, 100, 50), GetSysColor(COLOR_HIGHLIGHT));
    OLE_COLOR stored = 0;
    ASSERT_EQ(control_->get_BackColor(&stored), S_OK);
    EXPECT_EQ(stored, 0x80000000u | COLOR_HIGHLIGHT); // kept as given, translated to paint
}

TEST_F(ContainerTest, PutAsksFirstThenNotifies) {
    ASSERT_EQ(control_->put_BackColor(0x00123456), S_OK);
    EXPECT_EQ(site_->requested, std::vector<DISPID>{DISPID_BACKCOLOR});
    EXPECT_EQ(site_->changed, std::vector<DISPID>{DISPID_BACKCOLOR});
    ASSERT_EQ(control_->put_ForeColor(0x00654321), S_OK);
    EXPECT_EQ(site_->changed, (std::vector<DISPID>{DISPID_BACKCOLOR, DISPID_FORECOLOR}));
}

TEST_F(ContainerTest, RefusedEditKeepsTheColorAndThePicture) {
    HWND window = Activate();
    site_->allowEdit = false;
    EXPECT_EQ(control_->put_BackColor(0x000000FF), S_FALSE);
    OLE_COLOR color = 0;
    ASSERT_EQ(control_->get_BackColor(&color), S_OK);
    EXPECT_EQ(color, 0x00FFFFFFu);
    EXPECT_TRUE(site_->changed.empty());
    EXPECT_EQ(PixelOf(window, 100, 50), RGB(255, 255, 255));
    EXPECT_EQ(control_->put_ForeColor(0x000000FF), S_FALSE);
    ASSERT_EQ(control_->get_ForeColor(&color), S_OK);
    EXPECT_EQ(color, 0u);
}

TEST_F(ContainerTest, ViewAndDataSinksHearOfAColorChange) {
    ComPtr<IViewObject2> view;
    ASSERT_EQ(control_.As(&view), S_OK);
    ASSERT_EQ(view->SetAdvise(DVASPECT_CONTENT, 0, site_.Get()), S_OK);
    ComPtr<IDataObject> data;
    ASSERT_EQ(control_.As(&data), S_OK);
    FORMATETC format{0, nullptr, DVASPECT_CONTENT, -1, TYMED_NULL};
    DWORD connection = 0;
    ASSERT_EQ(data->DAdvise(&format, ADVF_NODATA, site_.Get(), &connection), S_OK);

    ASSERT_EQ(control_->put_BackColor(0x00FF0000), S_OK); // not active: no window to invalidate
    EXPECT_EQ(site_->viewChanges, 1);
    EXPECT_EQ(site_->dataChanges, 1);
    site_->allowEdit = false;
    EXPECT_EQ(control_->put_BackColor(0), S_FALSE);
    EXPECT_EQ(site_->viewChanges, 1);
    EXPECT_EQ(site_->dataChanges, 1);

    EXPECT_EQ(data->DUnadvise(connection), S_OK);
    EXPECT_EQ(view->SetAdvise(DVASPECT_CONTENT, 0, nullptr), S_OK);
}

TEST_F(ContainerTest, DrawPaintsIntoTheCallersDc) {
    ComPtr<IViewObject2> view;
    ASSERT_EQ(control_.As(&view), S_OK);
    ASSERT_EQ(control_->put_BackColor(0x00008000), S_OK);
    HDC screen = GetDC(nullptr);
    com::UniqueMemoryDc dc(CreateCompatibleDC(screen));
    com::UniqueBitmap bitmap(CreateCompatibleBitmap(screen, 40, 30));
    ReleaseDC(nullptr, screen);
    ASSERT_TRUE(dc && bitmap);
    com::SelectedObject selected(dc.Get(), bitmap.Get());
    const RECTL bounds{0, 0, 40, 30};
    ASSERT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc.Get(), &bounds,
                         nullptr, nullptr, 0),
              S_OK);
    EXPECT_EQ(GetPixel(dc.Get(), 20, 15), RGB(0, 128, 0));
    EXPECT_EQ(GetPixel(dc.Get(), 0, 0), RGB(0, 0, 0));
    EXPECT_EQ(view->Draw(DVASPECT_ICON, -1, nullptr, nullptr, nullptr, dc.Get(), &bounds, nullptr,
                         nullptr, 0),
              DV_E_DVASPECT);
    EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc.Get(), nullptr,
                         nullptr, nullptr, 0),
              E_INVALIDARG);
}

TEST_F(ContainerTest, RepaintShowsTheLastDrawnFrameUntilItGoes) {
    HWND window = Activate();
    ASSERT_TRUE(IsWindow(window));
    ASSERT_EQ(control_->put_BackColor(0x000000FF), S_OK); // red, to tell it from the frame
    com::UniqueBstr board(L"SIM7100");
    ASSERT_EQ(control_->OpenDevice(board.Get()), S_OK);
    LONG frame = -1;
    ASSERT_EQ(control_->AllocateFrame(-1, -1, -1, -1, -1, -1, DefaultFrame, DefaultImage, &frame),
              S_OK);
    com::UniqueSafeArray grey(SafeArrayCreateVector(VT_UI1, 0, 640 * 480));
    {
        com::SafeArrayData<uint8_t> pixels(grey.Get());
        ASSERT_TRUE(pixels.Ok());
        std::memset(pixels.Data(), 0x80, 640 * 480);
    }
    VARIANT pixels;
    V_VT(&pixels) = VT_ARRAY | VT_UI1;
    V_ARRAY(&pixels) = grey.Get();
    ASSERT_EQ(control_->WriteFrame(frame, 0, 0, 640, 480, pixels), S_OK);
    EXPECT_EQ(PixelOf(window, 100, 50), RGB(255, 0, 0)); // allocated, not yet drawn

    ASSERT_EQ(control_->DrawAcquiredFrame(0, frame), S_OK); // 0: the control's own window
    EXPECT_EQ(PixelOf(window, 100, 50), RGB(0x80, 0x80, 0x80));
    // Covered and shown again, the control draws the frame once more.
    InvalidateRect(window, nullptr, TRUE);
    EXPECT_EQ(PixelOf(window, 100, 50), RGB(0x80, 0x80, 0x80));

    ASSERT_EQ(control_->DestroyFrame(frame), S_OK);
    InvalidateRect(window, nullptr, TRUE);
    EXPECT_EQ(PixelOf(window, 100, 50), RGB(255, 0, 0));
    control_->CloseDevice();
}

TEST_F(ContainerTest, RepaintShowsTheLastDrawnLinesUntilTheNextAcquisition) {
    HWND window = Activate();
    ASSERT_TRUE(IsWindow(window));
    ASSERT_EQ(control_->put_BackColor(0x000000FF), S_OK);
    com::UniqueBstr board(L"SIM7400LS");
    ASSERT_EQ(control_->OpenDevice(board.Get()), S_OK);
    SAFEARRAYBOUND bounds[] = {{150, 0}, {60, 0}}; // 150 pixels wide, 60 lines
    {
        com::UniqueSafeArray lines(SafeArrayCreate(VT_UI1, 2, bounds));
        {
            com::SafeArrayData<uint8_t> pixels(lines.Get());
            ASSERT_TRUE(pixels.Ok());
            std::memset(pixels.Data(), 0x40, 150 * 60);
        }
        VARIANT array;
        V_VT(&array) = VT_ARRAY | VT_UI1;
        V_ARRAY(&array) = lines.Get();
        ASSERT_EQ(control_->DrawAcquiredLines(0, array, 0, 0), S_OK); // 0: the control's window
    } // the caller's array is gone; the control keeps its own copy
    EXPECT_EQ(PixelOf(window, 100, 50), RGB(0x40, 0x40, 0x40));
    InvalidateRect(window, nullptr, TRUE);
    EXPECT_EQ(PixelOf(window, 100, 50), RGB(0x40, 0x40, 0x40));
    EXPECT_EQ(PixelOf(window, 180, 50), RGB(255, 0, 0)); // beside the lines: the background

    // The next acquisition ends the display of the drawn lines.
    com::UniqueSafeArray target(SafeArrayCreate(VT_UI1, 2, bounds));
    VARIANT array;
    V_VT(&array) = VT_ARRAY | VT_UI1;
    V_ARRAY(&array) = target.Get();
    ASSERT_EQ(control_->AcquireLines(array, VARIANT_FALSE), S_OK);
    InvalidateRect(window, nullptr, TRUE);
    EXPECT_EQ(PixelOf(window, 100, 50), RGB(255, 0, 0));

    // Drawn again, the lines stay until the device closes.
    ASSERT_EQ(control_->DrawAcquiredLines(0, array, 0, 0), S_OK);
    InvalidateRect(window, nullptr, TRUE);
    EXPECT_NE(PixelOf(window, 100, 50), RGB(255, 0, 0));
    ASSERT_EQ(control_->CloseDevice(), S_OK);
    InvalidateRect(window, nullptr, TRUE);
    EXPECT_EQ(PixelOf(window, 100, 50), RGB(255, 0, 0));
}

TEST_F(ContainerTest, DeactivationDestroysTheWindow) {
    HWND window = Activate();
    ASSERT_TRUE(IsWindow(window));
    ComPtr<IOleInPlaceObject> inPlace;
    ASSERT_EQ(object_.As(&inPlace), S_OK);
    ASSERT_EQ(inPlace->InPlaceDeactivate(), S_OK);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(site_->inPlaceDeactivations, 1);
    HWND none = nullptr;
    EXPECT_EQ(inPlace->GetWindow(&none), E_FAIL);
    // A second activation builds a new window.
    HWND again = Activate();
    EXPECT_TRUE(IsWindow(again));
    EXPECT_EQ(site_->inPlaceActivations, 2);
}

TEST_F(ContainerTest, UiActivationMakesTheControlTheActiveObject) {
    RECT position = kPosition;
    ASSERT_EQ(
        object_->DoVerb(OLEIVERB_UIACTIVATE, nullptr, site_.Get(), 0, frame_.Get(), &position),
        S_OK);
    EXPECT_EQ(site_->uiActivations, 1);
    EXPECT_TRUE(site_->activeObject);
    ComPtr<IOleInPlaceObject> inPlace;
    ASSERT_EQ(object_.As(&inPlace), S_OK);
    ASSERT_EQ(inPlace->UIDeactivate(), S_OK);
    EXPECT_FALSE(site_->activeObject);
}

TEST_F(ContainerTest, ObjectDescribesItself) {
    DWORD status = 0;
    ASSERT_EQ(object_->GetMiscStatus(DVASPECT_CONTENT, &status), S_OK);
    EXPECT_EQ(status, 131473u);
    CLSID clsid{};
    ASSERT_EQ(object_->GetUserClassID(&clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_Corvid);
    SIZEL extent{1000, 500};
    ASSERT_EQ(object_->SetExtent(DVASPECT_CONTENT, &extent), S_OK);
    SIZEL read{};
    ASSERT_EQ(object_->GetExtent(DVASPECT_CONTENT, &read), S_OK);
    EXPECT_EQ(read.cx, 1000);
    EXPECT_EQ(read.cy, 500);
    ComPtr<IOleClientSite> site;
    ASSERT_EQ(object_->GetClientSite(&site), S_OK);
    EXPECT_EQ(site.Get(), static_cast<IOleClientSite*>(site_.Get()));
    EXPECT_EQ(object_->DoVerb(42, nullptr, site_.Get(), 0, frame_.Get(), nullptr),
              OLEOBJ_S_INVALIDVERB);
}

} // namespace
} // namespace test
