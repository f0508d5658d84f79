// CCorvid, the frame grabber control: its dispatch interface ICorvid3 (with ICorvid2 and
// ICorvid below it), events, error information, and the ActiveX embedding through which a
// container sites it, activates it in place in a window of its own and lets it paint.
//
// Members not written yet answer E_NOTIMPL through CorvidUnimplemented, which is generated
// from the type library's declarations. A member is implemented by declaring its override
// here and defining it in the source unit of its feature group.
#pragma once

#include "com_object.h"
#include "connection_points.h"
#include "acquisition.h"
#include "control_state.h"
#include "digital_io.h"
#include "frame_table.h"
#include "line_scan.h"
#include "overlay_surface.h"
#include "passthru.h"
#include "raii.h"
#include "value_lists.h"

#include "corvid_unimplemented.h"

#include <ocidl.h>
#include <oleidl.h>
#include <olectl.h>

#include <initializer_list>
#include <optional>

namespace core {

// Identity of the control class in the registry and in error information.
inline constexpr wchar_t kProgId[] = L"Corvid.Corvid.1";
inline constexpr wchar_t kVersionIndependentProgId[] = L"Corvid.Corvid";

// The window class of the control's own window.
inline constexpr wchar_t kWindowClass[] = L"CorvidControlWindow";

// The misc-status bits of the content aspect (also registered under MiscStatus\1):
// recompose-on-resize, can't-link-inside, inside-out, activate-when-visible,
// set-client-site-first.
inline constexpr DWORD kMiscStatus = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE |
                                     OLEMISC_INSIDEOUT | OLEMISC_ACTIVATEWHENVISIBLE |
                                     OLEMISC_SETCLIENTSITEFIRST;
static_assert(kMiscStatus == 131473);

// DISPID of Hostname: a member of the class, not of the dispatch interfaces.
inline constexpr DISPID kDispidHostname = 100;

// Declares the get and put accessors of a property of the dispatch interface.
#define CORVID_PROPERTY(Name, Type)                                                                \
    STDMETHODIMP get_##Name(Type* value) override;                                                 \
    STDMETHODIMP put_##Name(Type value) override;

struct InputControl;  // one property of the plain input-control family (video_input.cpp)
struct ColorProperty; // one color image parameter property (color_parameters.cpp)
struct SyncParameter; // one timing property of the sync generator (sync_master.cpp)
struct LineTiming;    // one line timing property of the line-scan board (line_scan.cpp)

class CCorvid final
    : public com::Object<CCorvid, CorvidUnimplemented, IProvideClassInfo2, ISupportErrorInfo,
                         com::ConnectionPointContainer, IOleObject, IOleInPlaceObject,
                         IOleInPlaceActiveObject, IOleControl, IViewObject2, IDataObject,
                         IPersistPropertyBag, IPersistStreamInit, IPersistStorage,
                         ICategorizeProperties, IPerPropertyBrowsing, ISpecifyPropertyPages> {
public:
    using Self = CCorvid;
    static com::InterfaceTable<Self> Interfaces();
    // The class's instance creator (class-object table).
    static HRESULT Create(REFIID iid, void** out);
    // Builds the device list (device.cpp); com::Make calls it before handing the object out.
    HRESULT Initialize();

    CCorvid() = default;
    ~CCorvid() override;

    // ICorvid: stock colors
    STDMETHODIMP get_BackColor(OLE_COLOR* color) override;
    STDMETHODIMP put_BackColor(OLE_COLOR color) override;
    STDMETHODIMP get_ForeColor(OLE_COLOR* color) override;
    STDMETHODIMP put_ForeColor(OLE_COLOR color) override;

    // ICorvid: device (device.cpp)
    STDMETHODIMP OpenDevice(BSTR device) override;
    STDMETHODIMP CloseDevice() override;
    STDMETHODIMP get_DeviceCount(short* count) override;
    STDMETHODIMP get_ActiveDevice(BSTR* name) override;
    STDMETHODIMP put_ActiveDevice(BSTR name) override;
    STDMETHODIMP GetDeviceName(short id, BSTR* name) override;
    STDMETHODIMP get_DeviceType(DeviceTypeEnum* type) override;
    CORVID_PROPERTY(Timeout, long)
    STDMETHODIMP get_StatusMessage(BSTR* message) override;
    // ICorvid3: device (device.cpp)
    STDMETHODIMP GetStatusMessage(long statusCode, BSTR* message) override;
    STDMETHODIMP ControlStateChanged() override;

    // ICorvid: video input (video_input.cpp)
    STDMETHODIMP QueryInputCaps(stSTT_FG_INPUT_CAP_KEY key, long* buffer, long bufferSize) override;
    STDMETHODIMP ReadInputLUT(short lut, long start, VARIANT buffer) override;
    STDMETHODIMP WriteInputLUT(short lut, long start, VARIANT buffer) override;
    CORVID_PROPERTY(ActiveLineCount, long)
    CORVID_PROPERTY(ActivePixelCount, long)
    CORVID_PROPERTY(BackPorchStart, long)
    CORVID_PROPERTY(ClampEnd, long)
    CORVID_PROPERTY(ClampStart, long)
    CORVID_PROPERTY(ClockFrequency, long)
    CORVID_PROPERTY(ClockSource, ClockSourceEnum)
    CORVID_PROPERTY(ClockTransition, TransitionEnum)
    CORVID_PROPERTY(FirstActiveLine, long)
    CORVID_PROPERTY(FirstActivePixel, long)
    CORVID_PROPERTY(HSyncInsertPos, long)
    CORVID_PROPERTY(HSyncSearchPos, long)
    CORVID_PROPERTY(InputFilter, InputFilterEnum)
    CORVID_PROPERTY(InputLUT, long)
    CORVID_PROPERTY(SyncSource, SyncSourceEnum)
    CORVID_PROPERTY(SyncThresh, long)
    CORVID_PROPERTY(TotalLinesPerField, long)
    CORVID_PROPERTY(TotalPixelsPerLine, long)
    CORVID_PROPERTY(VSyncInsertPos, long)
    CORVID_PROPERTY(VSyncSearchPos, long)
    CORVID_PROPERTY(SyncSentinel, VARIANT_BOOL)
    CORVID_PROPERTY(VideoInputSource, VideoSourceEnum)
    CORVID_PROPERTY(BasedSourceModeEnable, VARIANT_BOOL)
    CORVID_PROPERTY(BasedSource, VideoSourceEnum)
    CORVID_PROPERTY(HorizontalTransition, TransitionEnum)
    CORVID_PROPERTY(VerticalTransition, TransitionEnum)
    CORVID_PROPERTY(TriggerType, TriggerTypeEnum)
    CORVID_PROPERTY(TriggerTransition, TransitionEnum)
    CORVID_PROPERTY(MultTriggerType, TriggerTypeEnum)
    CORVID_PROPERTY(MultTriggerTransition, TransitionEnum)
    CORVID_PROPERTY(MultTriggerMode, TriggerModeEnum)
    CORVID_PROPERTY(VideoSignalType, VideoSignalTypeEnum)
    CORVID_PROPERTY(Offset, long)
    CORVID_PROPERTY(Reference, long)
    CORVID_PROPERTY(Gain, GainEnum)

    // ICorvid, ICorvid2: frames (frames.cpp)
    STDMETHODIMP AllocateFrame(long left, long top, long width, long height, long horizontalScale,
                               long verticalScale, FrameTypeEnum type, StorageModeEnum storageMode,
                               long* frameIndex) override;
    STDMETHODIMP DestroyFrame(long frameIndex) override;
    STDMETHODIMP get_ActiveFrame(long* id) override;
    STDMETHODIMP put_ActiveFrame(long id) override;
    STDMETHODIMP get_FrameCount(long* count) override;
    STDMETHODIMP get_FrameLeft(long* pixel) override;
    STDMETHODIMP get_FrameTop(long* pixel) override;
    STDMETHODIMP get_FrameWidth(long* pixels) override;
    STDMETHODIMP get_FrameHeight(long* pixels) override;
    STDMETHODIMP get_FrameBytesPerPixel(long* bytes) override;
    STDMETHODIMP get_FrameBaseAddress(long* address) override;
    STDMETHODIMP get_FrameType(FrameTypeEnum* type) override;
    STDMETHODIMP get_FrameStorageMode(StorageModeEnum* mode) override;
    CORVID_PROPERTY(FrameHorizontalScale, long)
    CORVID_PROPERTY(FrameVerticalScale, long)
    STDMETHODIMP CopyFrameRect(long srcFrame, long srcLeft, long srcTop, long srcWidth,
                               long srcHeight, long destId, long destLeft, long destTop) override;
    STDMETHODIMP ReadFrame(long srcFrame, long left, long top, long width, long height,
                           VARIANT data) override;
    STDMETHODIMP WriteFrame(long destFrame, long left, long top, long width, long height,
                            VARIANT data) override;
    STDMETHODIMP ReadFrameEx(long srcFrame, long left, long top, long width, long height,
                             VARIANT* data) override;

    // ICorvid: acquisition (acquisition.cpp)
    STDMETHODIMP AcquireFrames(long frameCount, VARIANT frameIds, VARIANT_BOOL async) override;
    STDMETHODIMP StopAsyncAcquireFrames(STT_APISTATUS* jobStatus) override;
    STDMETHODIMP IsAsyncAcquireFramesDone(STT_APISTATUS* jobStatus, long* bytesWrittenToHost,
                                          VARIANT_BOOL* done) override;

    // ICorvid, ICorvid2: drawing, bitmap files, color planes (drawing.cpp)
    STDMETHODIMP DrawAcquiredFrame(long windowHandle, long frameIndex) override;
    STDMETHODIMP SaveAcquiredFrame(long frameIndex, BSTR filename) override;
    STDMETHODIMP ExtractRGBPlanes(long frameId, VARIANT red, VARIANT green, VARIANT blue) override;
    STDMETHODIMP ExtractRGBPlanesEx(long frameId, VARIANT* red, VARIANT* green,
                                    VARIANT* blue) override;
    STDMETHODIMP DrawRGBPlane(long windowHandle, VARIANT plane) override;

    // ICorvid: live video (passthru.cpp)
    STDMETHODIMP LoadDefaultPassthruLUT() override;
    STDMETHODIMP ExtendPassthruPalette(long start, VARIANT rgbArray) override;
    STDMETHODIMP LoadPassthruLUT(long start, VARIANT rgbArray) override;
    STDMETHODIMP PassthruSnapshot(long frameIndex) override;
    STDMETHODIMP QueryPassthruCaps(stSTT_FG_PASSTHRU_CAP_KEY key, long* buffer,
                                   long bufferSize) override;
    STDMETHODIMP StartPassthru(long windowHandle, long frameIndex, PassthruModeEnum mode) override;
    STDMETHODIMP StopPassthru() override;
    CORVID_PROPERTY(XPassthruOrigin, long)
    CORVID_PROPERTY(YPassthruOrigin, long)

    // ICorvid, ICorvid2: overlay surfaces (overlays.cpp)
    STDMETHODIMP AllocateSurface(long* id) override;
    STDMETHODIMP DestroySurface(long id) override;
    STDMETHODIMP EraseSurface(long id) override;
    STDMETHODIMP GetSurfaceDC(long id, long* dc) override;
    STDMETHODIMP ReleaseSurfaceDC(long id) override;
    STDMETHODIMP OverlaySurfaceOnFrame(long frameId, long surfaceId) override;
    STDMETHODIMP get_SurfaceCount(long* count) override;
    CORVID_PROPERTY(ActiveSurface, long)
    CORVID_PROPERTY(Translucent, VARIANT_BOOL)
    CORVID_PROPERTY(ColorKey, OLE_COLOR)
    CORVID_PROPERTY(ImageFile, BSTR)
    STDMETHODIMP EnableOverlays(long id) override;
    STDMETHODIMP DisableOverlays(long id) override;

    // ICorvid, ICorvid3: color image parameters (color_parameters.cpp)
    STDMETHODIMP ColorQueryInterface(STT_QUERY_COLOR_INTERFACE interfaceCode,
                                     VARIANT_BOOL* supported) override;
    STDMETHODIMP ColorImageParameters(STT_CONTROL_TYPE control, STT_COLOR_PARAMETER param,
                                      long* value) override;
    STDMETHODIMP ColorQueryHardwareScaling(STT_CONTROL_TYPE control, long* hscale,
                                           long* vscale) override;
    STDMETHODIMP ColorQueryStorageMode(STT_IMAGE_MODE imageMode, VARIANT_BOOL* supported) override;
    CORVID_PROPERTY(Brightness, long)
    CORVID_PROPERTY(Contrast, long)
    CORVID_PROPERTY(VSaturation, long)
    CORVID_PROPERTY(USaturation, long)
    CORVID_PROPERTY(Hue, long)
    CORVID_PROPERTY(RedOffset, long)
    CORVID_PROPERTY(GreenOffset, long)
    CORVID_PROPERTY(BlueOffset, long)
    CORVID_PROPERTY(RedReference, long)
    CORVID_PROPERTY(GreenReference, long)
    CORVID_PROPERTY(BlueReference, long)

    // ICorvid: sync master (sync_master.cpp)
    CORVID_PROPERTY(SyncMasterEnabled, VARIANT_BOOL)
    CORVID_PROPERTY(HorizontalFrequency, long)
    CORVID_PROPERTY(HorizontalPulseWidth, long)
    CORVID_PROPERTY(VerticalFrequency, long)
    CORVID_PROPERTY(VerticalPulseWidth, long)
    CORVID_PROPERTY(Phase, long)

    // ICorvid, ICorvid2: digital camera and digital I/O (digital_io.cpp)
    STDMETHODIMP ResetCamera() override;
    CORVID_PROPERTY(DigitalCameraType, CameraTypeEnum)
    CORVID_PROPERTY(EnableExposePulse, VARIANT_BOOL)
    CORVID_PROPERTY(ExposePulseDuration, long)
    CORVID_PROPERTY(ExposePulsePolarity, PulsePolarityEnum)
    CORVID_PROPERTY(DigIOConfig, long)
    CORVID_PROPERTY(DigIOPattern, long)
    STDMETHODIMP get_DigOutCaps(long* value) override;
    STDMETHODIMP get_DigInCaps(long* value) override;

    // ICorvid: line scan (line_scan.cpp)
    CORVID_PROPERTY(LSDriveClkDiv, long)
    CORVID_PROPERTY(LoToHiLineDriveCount, long)
    CORVID_PROPERTY(HiToLoLineDriveCount, long)
    CORVID_PROPERTY(LoToHiIntegrationCount, long)
    CORVID_PROPERTY(HiToLoIntegrationCount, long)
    CORVID_PROPERTY(LineScanMode, VARIANT_BOOL)
    STDMETHODIMP DrawAcquiredLines(long windowHandle, VARIANT bufferInfo, long xOrigin,
                                   long yOrigin) override;
    STDMETHODIMP IsAcquireLinesDone(long* linesComplete, long* granularity,
                                    VARIANT_BOOL* complete) override;
    STDMETHODIMP StartLSPassthru(long window, VARIANT buffers,
                                 VARIANT_BOOL stopOnOverflow) override;
    STDMETHODIMP StopLSPassthru() override;
    STDMETHODIMP AcquireLines(VARIANT userBuffer, VARIANT_BOOL async) override;

    // ICorvid: camera files (camera_file.cpp)
    STDMETHODIMP get_CameraFile(BSTR* filename) override;
    STDMETHODIMP LoadCameraFile(BSTR filename) override;
    STDMETHODIMP SaveCameraFile(BSTR filename) override;

    // The host of the device object (remote.cpp); DISPID 100, reached through the property
    // lists of persistence, not through the dispatch interfaces.
    HRESULT get_Hostname(BSTR* host);
    HRESULT put_Hostname(BSTR host);
    // Makes the control forward its members to the Corvid object on host; null or
    // "Localhost" needs none. Shows a box and returns E_FAIL when the object cannot be made.
    HRESULT CreateRemoteObject(const wchar_t* host);
    // Puts an existing control object in as the remote device object (null: none), the way a
    // successful CreateRemoteObject does. For in-process stand-ins of a remote host.
    void AttachRemoteDevice(Microsoft::WRL::ComPtr<ICorvid3> remote, std::wstring host);
    bool HasRemoteDevice() const { return remote_.object != nullptr; }

    // IProvideClassInfo2
    STDMETHODIMP GetClassInfo(ITypeInfo** info) override;
    STDMETHODIMP GetGUID(DWORD kind, GUID* guid) override;

    // ISupportErrorInfo
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID iid) override;

    // IPersist, IPersistPropertyBag, IPersistStreamInit, IPersistStorage (persistence.cpp):
    // the property map walked against a bag or a stream; failures inside the members are
    // swallowed while a Load or Save runs.
    STDMETHODIMP GetClassID(CLSID* clsid) override;
    STDMETHODIMP IsDirty() override;
    STDMETHODIMP InitNew() override;
    STDMETHODIMP Load(IPropertyBag* bag, IErrorLog* log) override;
    STDMETHODIMP Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) override;
    STDMETHODIMP Load(IStream* stream) override;
    STDMETHODIMP Save(IStream* stream, BOOL clearDirty) override;
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;
    STDMETHODIMP InitNew(IStorage* storage) override;
    STDMETHODIMP Load(IStorage* storage) override;
    STDMETHODIMP Save(IStorage* storage, BOOL sameAsLoad) override;
    STDMETHODIMP SaveCompleted(IStorage* storage) override;
    STDMETHODIMP HandsOffStorage() override;

    // ICategorizeProperties, ISpecifyPropertyPages (persistence.cpp)
    STDMETHODIMP MapProperyToCategory(DISPID id, PROPCAT* category) override;
    STDMETHODIMP GetCategoryName(PROPCAT category, LCID locale, BSTR* name) override;
    STDMETHODIMP GetPages(CAUUID* pages) override;
    // IPerPropertyBrowsing (persistence.cpp): the property pages of the persisted properties
    // and the value lists of the host name, the device and the input and sync sources.
    STDMETHODIMP GetDisplayString(DISPID id, BSTR* text) override;
    STDMETHODIMP MapPropertyToPage(DISPID id, CLSID* page) override;
    STDMETHODIMP GetPredefinedStrings(DISPID id, CALPOLESTR* strings, CADWORD* cookies) override;
    STDMETHODIMP GetPredefinedValue(DISPID id, DWORD cookie, VARIANT* value) override;

    // IOleObject
    STDMETHODIMP SetClientSite(IOleClientSite* site) override;
    STDMETHODIMP GetClientSite(IOleClientSite** site) override;
    STDMETHODIMP SetHostNames(LPCOLESTR app, LPCOLESTR object) override;
    STDMETHODIMP Close(DWORD saveOption) override;
    STDMETHODIMP SetMoniker(DWORD which, IMoniker* moniker) override;
    STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
    STDMETHODIMP InitFromData(IDataObject* data, BOOL creation, DWORD reserved) override;
    STDMETHODIMP GetClipboardData(DWORD reserved, IDataObject** data) override;
    STDMETHODIMP DoVerb(LONG verb, LPMSG msg, IOleClientSite* activeSite, LONG index, HWND parent,
                        LPCRECT position) override;
    STDMETHODIMP EnumVerbs(IEnumOLEVERB** verbs) override;
    STDMETHODIMP Update() override;
    STDMETHODIMP IsUpToDate() override;
    STDMETHODIMP GetUserClassID(CLSID* clsid) override;
    STDMETHODIMP GetUserType(DWORD form, LPOLESTR* type) override;
    STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP Advise(IAdviseSink* sink, DWORD* connection) override;
    STDMETHODIMP Unadvise(DWORD connection) override;
    STDMETHODIMP EnumAdvise(IEnumSTATDATA** advise) override;
    STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD* status) override;
    STDMETHODIMP SetColorScheme(LOGPALETTE* palette) override;

    // IOleWindow (IOleInPlaceObject, IOleInPlaceActiveObject)
    STDMETHODIMP GetWindow(HWND* window) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL enter) override;
    // IOleInPlaceObject
    STDMETHODIMP InPlaceDeactivate() override;
    STDMETHODIMP UIDeactivate() override;
    STDMETHODIMP SetObjectRects(LPCRECT position, LPCRECT clip) override;
    STDMETHODIMP ReactivateAndUndo() override;
    // IOleInPlaceActiveObject
    STDMETHODIMP TranslateAccelerator(LPMSG msg) override;
    STDMETHODIMP OnFrameWindowActivate(BOOL activate) override;
    STDMETHODIMP OnDocWindowActivate(BOOL activate) override;
    STDMETHODIMP ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frame) override;
    STDMETHODIMP EnableModeless(BOOL enable) override;

    // IOleControl
    STDMETHODIMP GetControlInfo(CONTROLINFO* info) override;
    STDMETHODIMP OnMnemonic(MSG* msg) override;
    STDMETHODIMP OnAmbientPropertyChange(DISPID id) override;
    STDMETHODIMP FreezeEvents(BOOL freeze) override;

    // IViewObject2
    STDMETHODIMP Draw(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device,
                      HDC targetDc, HDC drawDc, LPCRECTL bounds, LPCRECTL metafileBounds,
                      BOOL(STDMETHODCALLTYPE* proceed)(ULONG_PTR), ULONG_PTR proceedArg) override;
    STDMETHODIMP GetColorSet(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device,
                             HDC targetDc, LOGPALETTE** colors) override;
    STDMETHODIMP Freeze(DWORD aspect, LONG index, void* aspectInfo, DWORD* freeze) override;
    STDMETHODIMP Unfreeze(DWORD freeze) override;
    STDMETHODIMP SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
    STDMETHODIMP GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
    STDMETHODIMP GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* device, LPSIZEL size) override;

    // IDataObject: the control offers no data formats; it serves data-change advise sinks.
    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override;
    STDMETHODIMP GetDataHere(FORMATETC* format, STGMEDIUM* medium) override;
    STDMETHODIMP QueryGetData(FORMATETC* format) override;
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) override;
    STDMETHODIMP SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) override;
    STDMETHODIMP EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) override;
    STDMETHODIMP DAdvise(FORMATETC* format, DWORD flags, IAdviseSink* sink,
                         DWORD* connection) override;
    STDMETHODIMP DUnadvise(DWORD connection) override;
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA** advise) override;

    // Operations the feature groups use.
    // After a successful property put: marks the control dirty and tells the connected
    // property-notify sinks.
    void PropertyChanged(DISPID id);
    // Asks the property-notify sinks for permission to change a property.
    bool RequestEdit(DISPID id);
    // Asks the container to repaint the control.
    void ViewChanged();
    // Tells the data-change advise sinks that the control's data changed.
    void DataChanged();
    com::ConnectionPoint& Events() { return events_; }
    HWND Window() const { return window_.Get(); }
    bool Dirty() const { return dirty_; }

    // The control's picture inside bounds: its background when it has nothing else to show.
    void Paint(HDC dc, const RECT& bounds);

    // Error reporting (errors.cpp).
    // A failing status as a COM error with error information: an API status becomes
    // 0x80040000 + its message id, a code below 0xF000 a system error, a code from 0xF000 on
    // one of the control's own messages. helpContext 0: the stored one; helpFile null:
    // "corvid.hlp". Success without error information while a load or save runs.
    HRESULT ReportStatus(imaging::STT_APISTATUS status, DWORD helpContext = 0,
                         const wchar_t* helpFile = nullptr);
    // The system's text for a system error code as error information (DISP_E_EXCEPTION),
    // shown in a box first when asked.
    HRESULT HandleSystemError(DWORD code, const wchar_t* caption = nullptr, bool showBox = false);
    // Stores a driver result as the last status; true when it failed:
    //     if (Failed(imaging::STM_...(...))) return ReportLastStatus();
    bool Failed(imaging::STT_APISTATUS status) {
        device_.lastStatus = status;
        return status != imaging::STC_STS_NORMAL;
    }
    HRESULT ReportLastStatus() { return ReportStatus(device_.lastStatus); }

    // The common start of every dispatch member: stores its help context id, refuses a null
    // out pointer, and hands the call to the remote device object when there is one.
    // Returns the member's result when the call ends here:
    //     if (auto done = Enter(2083, {seconds}, &ICorvid::get_Timeout, seconds)) return *done;
    template <class Method, class... Args>
    std::optional<HRESULT> Enter(DWORD helpContext, std::initializer_list<const void*> outs,
                                 Method method, Args... args) {
        helpContext_ = helpContext;
        for (const void* out : outs)
            if (!out) return E_POINTER;
        if (remote_.object) return (remote_.object.Get()->*method)(args...);
        return std::nullopt;
    }

    // The model-specific levels of the video input.
    enum class Level { Offset, Reference, Gain };

    // The state the feature groups share.
    DeviceState& Device() { return device_; }
    FrameDefaults& Defaults() { return frameDefaults_; }
    InputState& Input() { return input_; }
    PersistFlags& Persistence() { return persist_; }
    // The input channel every input-control message addresses: the based source while
    // based-source mode is on, else the input source.
    uint32_t EffectiveSource() const {
        return input_.basedMode ? static_cast<uint16_t>(input_.basedSource) : device_.inputSource;
    }

protected:
    std::span<com::ConnectionPoint* const> ConnectionPoints() override { return points_; }

private:
    // Persistence (persistence.cpp): a persisted property read and written through the
    // control's dispatch interface.
    HRESULT GetPersisted(DISPID id, com::UniqueVariant& value);
    HRESULT PutPersisted(DISPID id, VARIANT& value);
    std::vector<PredefinedValue> PredefinedValues(DISPID id);
    // One 32-bit input capability through QueryInputCaps; nullopt when it fails.
    std::optional<uint32_t> InputCap(long key);

    // Device lifecycle (device.cpp).
    HRESULT BuildDeviceList();
    HRESULT CloseLocalDevice();
    DeviceTypeEnum ActiveModelCode() const;
    // Points where other feature groups hook into the lifecycle. Each is a no-op until its
    // feature exists: DestroyAllFrames empties the frame table (DestroyFrame for each slot),
    // DestroyAllSurfaces the surface table, ResetFrameSelection sets the active frame to -1
    // and clears the frame selection, StopPassthruForDestroy stops a running passthru.
    void DestroyAllFrames();
    void DestroyAllSurfaces();
    void ResetFrameSelection();
    void StopPassthruForDestroy();

    // Frames (frames.cpp). The four programming steps take an optional record that receives
    // what the device was given; SelectActiveFrame programs the device for a frame or, with
    // -1, for the default frame settings.
    HRESULT SetRectangle(FrameRecord* record, long left, long top, long width, long height);
    HRESULT SetScaling(FrameRecord* record, long horizontal, long vertical);
    HRESULT SetFrameType(FrameRecord* record, long type);
    HRESULT SetStorageMode(FrameRecord* record, long mode);
    HRESULT ProgramFrameSelection(FrameRecord* record, long left, long top, long width, long height,
                                  long horizontalScale, long verticalScale, long type,
                                  long storageMode);
    void ReleaseFrame(const FrameRecord& record);
    void DestroyLocalFrame(int32_t index);
    void SelectActiveFrame(int32_t index);
    HRESULT TransferFrameRect(bool write, long frame, long left, long top, long width, long height,
                              const VARIANT& data);
    template <class Value, class Member>
    HRESULT GetFrameProperty(DWORD helpContext, Member member, Value* value,
                             int32_t FrameRecord::*field, int32_t FrameDefaults::*fallback);
    // True on a color board that offers the STT_QUERY_COLOR_INTERFACE interface.
    bool HasColorInterface(uint32_t interfaceCode) const;
    // DISP_E_EXCEPTION with the description (success while a load or save runs).
    HRESULT ReportDescription(const wchar_t* description);
    // Acquisition (acquisition.cpp): the workers stop watching the device.
    void EndAcquisitionSession();
    // Drawing (drawing.cpp).
    void Repaint(HDC dc, const RECT& bounds);
    void PaintWithHostPainter(HDC dc, const RECT& bounds);
    std::optional<int32_t> PlaneSourceFrame(long frameId);
    // Digital camera (digital_io.cpp). CameraBoard is true on the digital-camera board;
    // elsewhere it stores STC_STS_CONTROL as the last status.
    bool CameraBoard();
    template <class Method, class T>
    HRESULT GetExposePulse(Method method, DWORD helpContext, uint32_t DigitalState::*half,
                           T* value);
    template <class Method, class T>
    HRESULT PutExposePulse(Method method, DWORD helpContext, DISPID id,
                           uint32_t DigitalState::*half, T value);
    // Line scan (line_scan.cpp). EndLineScan stops a running line passthru and ends both
    // workers before the device closes.
    void EndLineScan();
    void WriteLineGeometry(const LineArray& geometry);
    void RedrawLines();
    template <class Method>
    HRESULT GetLineTiming(Method method, const LineTiming& timing, long* value);
    template <class Method>
    HRESULT PutLineTiming(Method method, const LineTiming& timing, long value);

    // Video input (video_input.cpp). ReadInput and WriteInput address one input control of
    // the effective source and store the status; false when it failed.
    bool ReadInput(uint32_t control, uint32_t* value);
    bool WriteInput(uint32_t control, uint32_t value);
    template <class Method, class T>
    HRESULT GetInputControl(Method method, const InputControl& control, T* value);
    template <class Method, class T>
    HRESULT PutInputControl(Method method, const InputControl& control, T value);
    HRESULT AccessInputLut(DWORD helpContext, bool write, short lut, long start,
                           const VARIANT& buffer);
    HRESULT GetScanFlag(uint32_t bit, TransitionEnum* value);
    HRESULT PutScanFlag(uint32_t bit, TransitionEnum value, DISPID id);
    bool ReadTrigger();
    HRESULT WriteTrigger(uint32_t type, uint32_t transition, DISPID id);
    bool ReadMultTrigger();
    HRESULT WriteMultTrigger(uint32_t type, uint32_t transition, uint32_t mode, DISPID id);
    HRESULT GetLevel(Level level, std::optional<long>& read);
    template <class T> HRESULT GetLevel(Level level, T* value);
    HRESULT PutLevel(Level level, long value);

    // Live video (passthru.cpp). The worker of a start replaces an earlier one, which ends
    // without its final event; EndPassthruWorker waits for the worker to end.
    bool ProgramPassthruScaling();
    HRESULT StartRemotePassthru(long frameIndex, PassthruModeEnum mode);
    void StartPassthruWorker(std::unique_ptr<PassthruWorker> worker,
                             LPTHREAD_START_ROUTINE routine);
    void EndPassthruWorker(bool finalEvent);
    HRESULT StopDriverPassthru();
    HRESULT LoadPassthruTable(DWORD helpContext,
                              HRESULT (STDMETHODCALLTYPE ICorvid::*member)(long, VARIANT),
                              imaging::STT_APISTATUS (*message)(HDRVR, int32_t, int32_t,
                                                                const void*),
                              long start, const VARIANT& rgbArray);
    HRESULT GetPassthruOrigin(bool vertical, long* value);
    HRESULT PutPassthruOrigin(bool vertical, long value);

    // Overlay surfaces (overlays.cpp). PutActiveSurface is the ActiveSurface put without its
    // prologue; SelectActiveSurface selects the active surface in the driver.
    using SurfaceTable = SlotTable<OverlaySurface, 64>;
    void DestroyLocalSurface(int32_t id);
    HRESULT PutActiveSurface(int32_t id);
    HRESULT SelectActiveSurface();
    HRESULT LoadSurfaceImage(OverlaySurface& surface);
    HRESULT SwitchOverlays(long id, bool on);

    // Color image parameters (color_parameters.cpp). Color messages go to the color boards
    // only; on other models the requests fail with STC_STS_CONTROL without a message. Each
    // stores its status and answers false when it failed.
    bool IsColorBoard() const;
    bool QueryColorInterface(uint32_t interfaceCode);
    bool SendImageParameter(uint32_t operation, uint32_t parameter, uint32_t* value);
    // Stores and reports STC_STS_CONTROL: the open model lacks the feature.
    HRESULT ReportModelLacksFeature();
    template <class Method>
    HRESULT GetColorProperty(Method method, const ColorProperty& property, long* value);
    template <class Method>
    HRESULT PutColorProperty(Method method, const ColorProperty& property, long value);
    // Sync master (sync_master.cpp).
    template <class Method>
    HRESULT GetSyncParameter(Method method, const SyncParameter& parameter, long* value);
    template <class Method>
    HRESULT PutSyncParameter(Method method, const SyncParameter& parameter, long value);

    HRESULT InPlaceActivate(IOleClientSite* site, LPCRECT position, bool uiActivate);
    HRESULT CreateControlWindow(HWND parent, const RECT& position);
    HRESULT PutStockColor(DISPID id, OLE_COLOR color, OLE_COLOR& stored);
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

    DWORD helpContext_ = 0;
    DeviceState device_;
    FrameDefaults frameDefaults_;
    InputState input_;
    PersistFlags persist_;
    DigitalState digital_;
    RemoteDevice remote_;
    com::UniqueBstr cameraFile_; // CameraFile
    // SyncMasterEnabled as last written, or as last read from a color board; kept across
    // devices.
    int32_t syncMasterEnabled_ = 0;

    // Stock colors.
    OLE_COLOR backColor_ = 0x00FFFFFF;
    OLE_COLOR foreColor_ = 0;
    bool dirty_ = false;

    // Embedding.
    com::ComPtr<IOleClientSite> clientSite_;
    com::ComPtr<IOleInPlaceSite> inPlaceSite_;
    com::ComPtr<IOleInPlaceFrame> frame_;
    com::ComPtr<IOleInPlaceUIWindow> document_;
    com::ComPtr<IOleAdviseHolder> oleAdvise_;
    com::ComPtr<IDataAdviseHolder> dataAdvise_;
    com::ComPtr<IAdviseSink> viewSink_;
    DWORD viewAspects_ = 0;
    DWORD viewAdviseFlags_ = 0;
    bool inPlaceActive_ = false;
    bool uiActive_ = false;
    SIZEL extent_{2540, 1270}; // HIMETRIC: 1 x 0.5 inch until the container sets one
    com::UniqueWindow window_;

    com::ConnectionPoint events_{this, DIID_ICorvidEvents};
    com::ConnectionPoint propertyNotify_{this, IID_IPropertyNotifySink};
    com::ConnectionPoint* const points_[2] = {&events_, &propertyNotify_};

    // Frames, acquisition and drawing. Declared after the connection points: the workers'
    // link to the event sinks goes before the sinks do.
    FrameTable frames_;
    long lastDrawnFrame_ = FrameTable::kNone;
    com::CriticalSection painterLock_; // the grey painter's device bitmaps
    Acquisition acquisition_;
    PassthruState passthru_; // its worker reads the frame table and raises to the sinks
    SurfaceTable surfaces_;
    LineScanState lineScan_;
};

#undef CORVID_PROPERTY

// Defines the accessors of a property of the dispatch interface as calls of its feature's
// shared get and put helpers with the property's descriptor:
//     CORVID_PROPERTY_THROUGH(Brightness, long, GetColorProperty, PutColorProperty, kBrightness)
#define CORVID_PROPERTY_THROUGH(Name, Type, Get, Put, Descriptor)                                  \
    STDMETHODIMP CCorvid::get_##Name(Type* value) {                                                \
        return Get(&ICorvid::get_##Name, Descriptor, value);                                       \
    }                                                                                              \
    STDMETHODIMP CCorvid::put_##Name(Type value) {                                                 \
        return Put(&ICorvid::put_##Name, Descriptor, value);                                       \
    }

// Removes the control's window class; the library calls it when it is unloaded, because the
// class names a window procedure in the library.
void UnregisterWindowClass();

} // namespace core
