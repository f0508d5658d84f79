// Persistence of the control's settings: the property map walked against a property bag or
// a stream (and the stream inside a storage), the DISPID categories and the property pages
// of the persisted properties. Every property is read and written through the control's own
// dispatch interface, so a remote device object serves them as it serves a script.
#include "corvid.h"

#include "property_map.h"
#include "value_lists.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace core {
namespace {

// Loads accept streams up to this version; saves write it.
constexpr uint32_t kStreamVersion = 0x0300;
// The name of the control's stream inside a storage.
constexpr wchar_t kStorageStream[] = L"Contents";
// The properties with value lists.
constexpr DISPID kDispidSyncSource = 430;
constexpr DISPID kDispidSyncThresh = 431;
constexpr DISPID kDispidVideoInputSource = 437;
// Capability keys of the sync lists.
constexpr long kSyncSourceLimits = 290;
constexpr long kSyncThresholdLimits = 291;
constexpr long kSyncThresholdList = 292;
// Each display string goes out in a task-memory block of this size.
constexpr size_t kStringBlockBytes = 128;
// A threshold count above this is not a list a board can have.
constexpr long kMostThresholds = 4096;

// A string record longer than this comes from a damaged stream.
constexpr uint32_t kLongestStringBytes = 1u << 20;

const CLSID* PageClassOf(PropertyPage page) {
    switch (page) {
    case PropertyPage::General: return &CLSID_GeneralPage;
    case PropertyPage::Input: return &CLSID_InputPage;
    case PropertyPage::Spatial: return &CLSID_SpatialPage;
    case PropertyPage::Sync: return &CLSID_SyncPage;
    case PropertyPage::Trigger: return &CLSID_TriggerPage;
    case PropertyPage::Display: return &CLSID_DisplayPage;
    case PropertyPage::DigIO: return &CLSID_DigIOPage;
    case PropertyPage::Color: return &CLSID_ColorPage;
    case PropertyPage::DigCam: return &CLSID_DigCamPage;
    case PropertyPage::None: break;
    }
    return nullptr;
}

// Raises a flag for the duration of one persistence operation.
class FlagRaised {
public:
    explicit FlagRaised(bool& flag) : flag_(flag) { flag_ = true; }
    ~FlagRaised() { flag_ = false; }
    FlagRaised(const FlagRaised&) = delete;
    FlagRaised& operator=(const FlagRaised&) = delete;

private:
    bool& flag_;
};

bool WriteBytes(IStream* stream, const void* data, ULONG size) {
    ULONG written = 0;
    return SUCCEEDED(stream->Write(data, size, &written)) && written == size;
}

bool ReadBytes(IStream* stream, void* data, ULONG size) {
    ULONG read = 0;
    return SUCCEEDED(stream->Read(data, size, &read)) && read == size;
}

// The size of the value of a fixed-size variant type; 0 for strings and other types.
ULONG FixedSizeOf(VARTYPE type) {
    switch (type) {
    case VT_I1:
    case VT_UI1: return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL: return 2;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_ERROR: return 4;
    case VT_R8:
    case VT_CY:
    case VT_DATE: return 8;
    default: return 0;
    }
}

// One variant record: the 16-bit type and the value; other types go as their string.
bool WriteVariantRecord(IStream* stream, const VARIANT& value) {
    const VARTYPE type = V_VT(&value);
    if (const ULONG size = FixedSizeOf(type))
        return WriteBytes(stream, &type, sizeof type) && WriteBytes(stream, &V_UI1(&value), size);
    com::UniqueVariant text;
    const VARIANT* string = &value;
    if (type != VT_BSTR) {
        if (FAILED(VariantChangeType(text.Get(), const_cast<VARIANT*>(&value), 0, VT_BSTR)))
            return false;
        string = text.Get();
    }
    const VARTYPE bstrType = VT_BSTR;
    const UINT length = SysStringLen(V_BSTR(string));
    const uint32_t bytes = (length + 1) * sizeof(wchar_t);
    const wchar_t* chars = V_BSTR(string) ? V_BSTR(string) : L"";
    return WriteBytes(stream, &bstrType, sizeof bstrType) &&
           WriteBytes(stream, &bytes, sizeof bytes) && WriteBytes(stream, chars, bytes);
}

bool ReadVariantRecord(IStream* stream, com::UniqueVariant& value) {
    VARTYPE type = VT_EMPTY;
    if (!ReadBytes(stream, &type, sizeof type)) return false;
    VARIANT* out = value.Out();
    if (const ULONG size = FixedSizeOf(type)) {
        if (!ReadBytes(stream, &V_UI1(out), size)) return false;
        V_VT(out) = type;
        return true;
    }
    if (type != VT_BSTR) return false;
    uint32_t bytes = 0;
    if (!ReadBytes(stream, &bytes, sizeof bytes)) return false;
    if (bytes < sizeof(wchar_t) || bytes % sizeof(wchar_t) != 0 || bytes > kLongestStringBytes)
        return false;
    const UINT length = bytes / sizeof(wchar_t) - 1;
    com::UniqueBstr text = com::UniqueBstr::Attach(SysAllocStringLen(nullptr, length));
    if (!text.Get() || !ReadBytes(stream, text.Get(), length * sizeof(wchar_t))) return false;
    wchar_t terminator = 1;
    if (!ReadBytes(stream, &terminator, sizeof terminator) || terminator != L'\0') return false;
    V_VT(out) = VT_BSTR;
    V_BSTR(out) = text.Detach();
    return true;
}

const PropertyMapEntry* MapEntryOf(DISPID id) {
    for (const PropertyMapEntry& entry : PropertyMap())
        if (entry.dispid == id) return &entry;
    return nullptr;
}

// Task-memory arrays that the caller frees; each string in its own block.
class HandedOutLists {
public:
    ~HandedOutLists() {
        for (ULONG i = 0; i < count_; ++i)
            CoTaskMemFree(strings_[i]);
        CoTaskMemFree(strings_);
        CoTaskMemFree(cookies_);
    }
    HRESULT Fill(const std::vector<PredefinedValue>& values) {
        const size_t count = values.size();
        strings_ =
            static_cast<LPOLESTR*>(CoTaskMemAlloc(std::max<size_t>(count, 1) * sizeof(LPOLESTR)));
        cookies_ = static_cast<DWORD*>(CoTaskMemAlloc(std::max<size_t>(count, 1) * sizeof(DWORD)));
        if (!strings_ || !cookies_) return E_OUTOFMEMORY;
        for (const PredefinedValue& value : values) {
            auto* text = static_cast<LPOLESTR>(CoTaskMemAlloc(kStringBlockBytes));
            if (!text) return E_OUTOFMEMORY;
            lstrcpynW(text, value.text.c_str(), kStringBlockBytes / sizeof(wchar_t));
            strings_[count_] = text;
            cookies_[count_] = value.cookie;
            ++count_;
        }
        return S_OK;
    }
    void HandOver(CALPOLESTR* strings, CADWORD* cookies) {
        strings->cElems = cookies->cElems = count_;
        strings->pElems = std::exchange(strings_, nullptr);
        cookies->pElems = std::exchange(cookies_, nullptr);
        count_ = 0;
    }

private:
    LPOLESTR* strings_ = nullptr;
    DWORD* cookies_ = nullptr;
    ULONG count_ = 0;
};

} // namespace

HRESULT CCorvid::GetPersisted(DISPID id, com::UniqueVariant& value) {
    DISPPARAMS none{};
    return static_cast<ICorvid3*>(this)->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT,
                                                DISPATCH_PROPERTYGET, &none, value.Out(), nullptr,
                                                nullptr);
}

HRESULT CCorvid::PutPersisted(DISPID id, VARIANT& value) {
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&value, &named, 1, 1};
    return static_cast<ICorvid3*>(this)->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT,
                                                DISPATCH_PROPERTYPUT, &params, nullptr, nullptr,
                                                nullptr);
}

// ---- IPersist ----

STDMETHODIMP CCorvid::GetClassID(CLSID* clsid) {
    if (!clsid) return E_POINTER;
    *clsid = CLSID_Corvid;
    return S_OK;
}

STDMETHODIMP CCorvid::IsDirty() {
    return dirty_ ? S_OK : S_FALSE;
}

STDMETHODIMP CCorvid::InitNew() {
    return S_OK;
}

// ---- IPersistPropertyBag ----

STDMETHODIMP CCorvid::Load(IPropertyBag* bag, IErrorLog* log) {
    if (!bag) return E_POINTER;
    FlagRaised loading(persist_.loading);
    for (const PropertyMapEntry& entry : PropertyMap()) {
        // The current value gives the bag the type it is asked for.
        com::UniqueVariant value;
        if (FAILED(GetPersisted(entry.dispid, value))) return E_FAIL;
        // A value the bag lacks keeps the current one.
        if (FAILED(bag->Read(entry.name, value.Get(), log))) continue;
        if (FAILED(PutPersisted(entry.dispid, *value.Get()))) return E_FAIL;
    }
    dirty_ = false;
    return S_OK;
}

STDMETHODIMP CCorvid::Save(IPropertyBag* bag, BOOL clearDirty, BOOL) {
    if (!bag) return E_POINTER;
    FlagRaised saving(persist_.saving);
    for (const PropertyMapEntry& entry : PropertyMap()) {
        com::UniqueVariant value;
        if (FAILED(GetPersisted(entry.dispid, value))) return E_FAIL;
        const VARTYPE type = value.Type();
        if ((type == VT_DISPATCH && !V_DISPATCH(value.Get())) ||
            (type == VT_UNKNOWN && !V_UNKNOWN(value.Get())))
            continue;
        const HRESULT hr = bag->Write(entry.name, value.Get());
        if (FAILED(hr)) return hr;
    }
    if (clearDirty) dirty_ = false;
    return S_OK;
}

// ---- IPersistStreamInit ----

STDMETHODIMP CCorvid::Load(IStream* stream) {
    if (!stream) return E_POINTER;
    FlagRaised loading(persist_.loading);
    uint32_t version = 0;
    if (!ReadBytes(stream, &version, sizeof version) || version > kStreamVersion) return E_FAIL;
    for (const PropertyMapEntry& entry : PropertyMap()) {
        com::UniqueVariant value;
        if (!ReadVariantRecord(stream, value) || FAILED(PutPersisted(entry.dispid, *value.Get())))
            return E_FAIL;
    }
    dirty_ = false;
    return S_OK;
}

STDMETHODIMP CCorvid::Save(IStream* stream, BOOL clearDirty) {
    if (!stream) return E_POINTER;
    FlagRaised saving(persist_.saving);
    if (!WriteBytes(stream, &kStreamVersion, sizeof kStreamVersion)) return E_FAIL;
    for (const PropertyMapEntry& entry : PropertyMap()) {
        com::UniqueVariant value;
        if (FAILED(GetPersisted(entry.dispid, value)) || !WriteVariantRecord(stream, *value.Get()))
            return E_FAIL;
    }
    if (clearDirty) dirty_ = false;
    return S_OK;
}

STDMETHODIMP CCorvid::GetSizeMax(ULARGE_INTEGER* size) {
    if (size) size->QuadPart = 0;
    return E_NOTIMPL;
}

// ---- IPersistStorage: the same stream, named "Contents" ----

STDMETHODIMP CCorvid::InitNew(IStorage*) {
    return S_OK;
}

STDMETHODIMP CCorvid::Load(IStorage* storage) {
    if (!storage) return E_POINTER;
    com::ComPtr<IStream> stream;
    if (FAILED(storage->OpenStream(kStorageStream, nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0,
                                   &stream)))
        return E_FAIL;
    return Load(stream.Get());
}

STDMETHODIMP CCorvid::Save(IStorage* storage, BOOL) {
    if (!storage) return E_POINTER;
    com::ComPtr<IStream> stream;
    if (FAILED(storage->CreateStream(
            kStorageStream, STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0, &stream)))
        return E_FAIL;
    return Save(stream.Get(), TRUE);
}

STDMETHODIMP CCorvid::SaveCompleted(IStorage*) {
    return S_OK;
}

STDMETHODIMP CCorvid::HandsOffStorage() {
    return S_OK;
}

// ---- ICategorizeProperties ----

STDMETHODIMP CCorvid::MapProperyToCategory(DISPID id, PROPCAT* category) {
    if (!category) return E_POINTER;
    const std::optional<int32_t> found = CategoryOfDispid(id);
    if (!found) return E_NOTIMPL;
    *category = *found;
    return S_OK;
}

STDMETHODIMP CCorvid::GetCategoryName(PROPCAT category, LCID, BSTR* name) {
    if (!name) return E_POINTER;
    *name = nullptr;
    const wchar_t* text = CategoryName(category);
    if (!text) return E_NOTIMPL;
    *name = SysAllocString(text);
    return *name ? S_OK : E_OUTOFMEMORY;
}

// ---- IPerPropertyBrowsing ----

STDMETHODIMP CCorvid::GetDisplayString(DISPID, BSTR* text) {
    if (text) *text = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CCorvid::MapPropertyToPage(DISPID id, CLSID* page) {
    if (!page) return E_POINTER;
    *page = CLSID_NULL;
    const PropertyMapEntry* entry = MapEntryOf(id);
    const CLSID* found = entry ? PageClassOf(entry->page) : nullptr;
    if (!found) return PERPROP_E_NOPAGEAVAILABLE;
    *page = *found;
    return S_OK;
}

std::optional<uint32_t> CCorvid::InputCap(long key) {
    long value = 0;
    if (FAILED(QueryInputCaps(static_cast<stSTT_FG_INPUT_CAP_KEY>(key), &value, sizeof value)))
        return std::nullopt;
    return static_cast<uint32_t>(value);
}

std::vector<PredefinedValue> CCorvid::PredefinedValues(DISPID id) {
    std::vector<PredefinedValue> values;
    switch (id) {
    case kDispidHostname: {
        com::UniqueBstr host;
        if (SUCCEEDED(get_Hostname(host.Out()))) values.push_back({host.Text(), 0});
        break;
    }
    case DispidActiveDevice:
        for (int32_t index = 0; index < device_.count; ++index)
            values.push_back({device_.names[index], static_cast<uint32_t>(index)});
        break;
    case kDispidSyncSource: {
        const std::optional<uint32_t> capability = InputCap(kSyncSourceLimits);
        if (!capability) break;
        uint32_t sources = 0;
        if (*capability & kSyncSpecificSource)
            sources = InputCap(STC_FG_IC_INPUT_SOURCE_COUNT).value_or(0);
        values = SyncSourceValues(*capability, sources);
        break;
    }
    case kDispidSyncThresh: {
        long limits[4] = {};
        if (FAILED(QueryInputCaps(static_cast<stSTT_FG_INPUT_CAP_KEY>(kSyncThresholdLimits), limits,
                                  sizeof limits)))
            break;
        std::vector<int32_t> thresholds(
            static_cast<size_t>(std::clamp(limits[0], 0L, kMostThresholds)));
        if (thresholds.empty()) break;
        static_assert(sizeof(long) == sizeof(int32_t));
        if (FAILED(QueryInputCaps(static_cast<stSTT_FG_INPUT_CAP_KEY>(kSyncThresholdList),
                                  reinterpret_cast<long*>(thresholds.data()),
                                  static_cast<long>(thresholds.size() * sizeof(int32_t)))))
            break;
        values = ThresholdValues(thresholds);
        break;
    }
    case kDispidVideoInputSource:
        values = InputSourceValues(InputCap(STC_FG_IC_INPUT_SOURCE_COUNT).value_or(0));
        break;
    default: break;
    }
    return values;
}

STDMETHODIMP CCorvid::GetPredefinedStrings(DISPID id, CALPOLESTR* strings, CADWORD* cookies) {
    if (!strings || !cookies) return E_POINTER;
    *strings = {};
    *cookies = {};
    HandedOutLists lists;
    if (const HRESULT hr = lists.Fill(PredefinedValues(id)); FAILED(hr)) return hr;
    lists.HandOver(strings, cookies);
    return S_OK;
}

STDMETHODIMP CCorvid::GetPredefinedValue(DISPID id, DWORD cookie, VARIANT* value) {
    if (!value) return E_POINTER;
    VariantInit(value);
    switch (id) {
    case kDispidHostname:
        V_BSTR(value) = SysAllocString(L"Localhost");
        if (!V_BSTR(value)) return E_OUTOFMEMORY;
        V_VT(value) = VT_BSTR;
        return S_OK;
    case DispidActiveDevice: {
        com::UniqueBstr name;
        if (const HRESULT hr = GetDeviceName(static_cast<short>(cookie), name.Out()); FAILED(hr))
            return hr;
        V_VT(value) = VT_BSTR;
        V_BSTR(value) = name.Detach();
        return S_OK;
    }
    case kDispidSyncSource:
    case kDispidSyncThresh:
    case kDispidVideoInputSource:
        V_VT(value) = VT_I4;
        V_I4(value) = static_cast<LONG>(cookie);
        return S_OK;
    default: return E_NOTIMPL;
    }
}

// ---- ISpecifyPropertyPages ----

STDMETHODIMP CCorvid::GetPages(CAUUID* pages) {
    if (!pages) return E_POINTER;
    pages->cElems = 0;
    pages->pElems = nullptr;
    std::vector<GUID> distinct;
    for (const PropertyMapEntry& entry : PropertyMap()) {
        const CLSID* page = PageClassOf(entry.page);
        if (page && std::find(distinct.begin(), distinct.end(), *page) == distinct.end())
            distinct.push_back(*page);
    }
    auto* list = static_cast<GUID*>(CoTaskMemAlloc(distinct.size() * sizeof(GUID)));
    if (!list) return E_OUTOFMEMORY;
    std::copy(distinct.begin(), distinct.end(), list);
    pages->cElems = static_cast<ULONG>(distinct.size());
    pages->pElems = list;
    return S_OK;
}

} // namespace core
