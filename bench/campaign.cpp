// The reliability campaign: tools a maintainer runs against the installed control and the
// simulated boards, each bounded and printing its figures.
//
//   corvid_campaign soak [cycles] [creations] [pinned]
//                                               open/allocate/acquire/passthru/close cycles and
//                                               control creations; handles, GDI and USER
//                                               objects, threads, TLS slots, memory
//   corvid_campaign dispatch [seed] [cases]     every member with bad arguments, with no device
//                                               and with each board open, in child processes
//   corvid_campaign files [seed] [count]        mutated camera files and bitmap files
//   corvid_campaign faults                      each driver message of a typical use failed once
//
// Exit code 0 when no crash, hang or unreported failure was seen.
#include "event_sink.h"
#include "process_counts.h"
#include "thread_count.h"
#include "stapi.h"
#include "testport.h"

#include <windows.h>
#include <ocidl.h>
#include <oleauto.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr wchar_t kProgId[] = L"Corvid.Corvid.1";
constexpr const wchar_t* kBoards[] = {L"SIM7100", L"SIM7400", L"SIM7700",  L"SIM7300",
                                      L"SIM7500", L"SIM7400LS", L"SIM760X"};

// ---- Late binding ----------------------------------------------------------------------

struct Dispatch {
    IDispatch* object = nullptr;
    Dispatch() = default;
    Dispatch(const Dispatch&) = delete;
    Dispatch& operator=(const Dispatch&) = delete;
    ~Dispatch() {
        if (object) object->Release();
    }
    bool Create() {
        CLSID clsid{};
        return SUCCEEDED(CLSIDFromProgID(kProgId, &clsid)) &&
               SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                          reinterpret_cast<void**>(&object)));
    }
    DISPID Id(const wchar_t* name) const {
        DISPID id = DISPID_UNKNOWN;
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
        return id;
    }
    // Arguments in declaration order; the result is cleared.
    HRESULT Call(DISPID id, WORD flags, std::vector<VARIANT> args, EXCEPINFO* error = nullptr,
                 VARIANT* result = nullptr, std::vector<DISPID> named = {}) const {
        std::vector<VARIANT> reversed(args.rbegin(), args.rend());
        DISPID put = DISPID_PROPERTYPUT;
        if (flags & DISPATCH_PROPERTYPUT) named = {put};
        DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(),
                          named.empty() ? nullptr : named.data(), static_cast<UINT>(reversed.size()),
                          static_cast<UINT>(named.size())};
        VARIANT ignored;
        VariantInit(&ignored);
        EXCEPINFO info{};
        UINT argError = 0;
        const HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                          (flags & DISPATCH_PROPERTYPUT) ? nullptr
                                          : result                      ? result
                                                                        : &ignored,
                                          error ? error : &info, &argError);
        VariantClear(&ignored);
        if (!error) {
            SysFreeString(info.bstrSource);
            SysFreeString(info.bstrDescription);
            SysFreeString(info.bstrHelpFile);
        }
        return hr;
    }
    HRESULT Method(const wchar_t* name, std::vector<VARIANT> args = {},
                   EXCEPINFO* error = nullptr) const {
        return Call(Id(name), DISPATCH_METHOD, std::move(args), error);
    }
};

VARIANT Long(LONG value) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    return v;
}

// A BSTR argument that owns its string.
struct Text {
    VARIANT v;
    explicit Text(const std::wstring& text) {
        VariantInit(&v);
        V_VT(&v) = VT_BSTR;
        V_BSTR(&v) = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    }
    ~Text() { VariantClear(&v); }
    Text(const Text&) = delete;
    Text& operator=(const Text&) = delete;
};

void ClearError(EXCEPINFO& error) {
    SysFreeString(error.bstrSource);
    SysFreeString(error.bstrDescription);
    SysFreeString(error.bstrHelpFile);
    error = EXCEPINFO{};
}

// ---- What the process holds --------------------------------------------------------------

using test::FreeTlsSlots;
using test::ProcessHandles;
using test::ThreadCount;

struct Counts {
    long handles;
    long gdi, user;
    int threads, freeTls;
    double megabytes;
};

Counts Measure() {
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                         sizeof memory);
    return {ProcessHandles(),
            test::GdiObjects(),
            test::UserObjects(),
            ThreadCount(),
            FreeTlsSlots(),
            std::max(memory.PrivateUsage, memory.PagefileUsage) / 1048576.0};
}

void Print(const char* when, const Counts& c) {
    std::printf("  %-10s handles %5ld  gdi %4ld  user %4ld  threads %3d  free TLS %4d  private "
                "%7.2f MB\n",
                when, c.handles, c.gdi, c.user, c.threads, c.freeTls, c.megabytes);
}

void PrintGrowth(const Counts& from, const Counts& to, int cycles) {
    const double per = 1000.0 / cycles;
    std::printf("  growth per 1,000: handles %+.1f  gdi %+.1f  user %+.1f  threads %+.1f  TLS "
                "slots %+.1f  memory %+.3f MB\n",
                (to.handles - from.handles) * per, (double(to.gdi) - from.gdi) * per,
                (double(to.user) - from.user) * per, (to.threads - from.threads) * per,
                (from.freeTls - to.freeTls) * per, (to.megabytes - from.megabytes) * per);
}

// ---- An event sink that counts OnAcquireNotify2 ------------------------------------------

class Sink final : public EventSink {
public:
    volatile LONG acquired = 0;
    void OnEvent(DISPID id) override {
        if (id == 5) InterlockedIncrement(&acquired);
    }
};

// Connects a sink to the control's events; the cookie is 0 when it could not.
DWORD Advise(IDispatch* control, IDispatch* sink, IConnectionPoint** point) {
    IConnectionPointContainer* container = nullptr;
    DWORD cookie = 0;
    *point = nullptr;
    if (FAILED(control->QueryInterface(IID_IConnectionPointContainer,
                                       reinterpret_cast<void**>(&container))))
        return 0;
    IEnumConnectionPoints* points = nullptr;
    if (SUCCEEDED(container->EnumConnectionPoints(&points))) {
        IConnectionPoint* candidate = nullptr;
        while (!cookie && points->Next(1, &candidate, nullptr) == S_OK) {
            IID iid{};
            candidate->GetConnectionInterface(&iid);
            if (iid != IID_IPropertyNotifySink && SUCCEEDED(candidate->Advise(sink, &cookie)))
                *point = candidate;
            else
                candidate->Release();
        }
        points->Release();
    }
    container->Release();
    return cookie;
}

bool WaitFor(volatile LONG& counter, LONG target) {
    const auto end = Clock::now() + std::chrono::seconds(10);
    while (counter < target) {
        if (Clock::now() > end) return false;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        Sleep(1);
    }
    return true;
}

// ---- Soak --------------------------------------------------------------------------------

// One cycle: open, allocate, acquire synchronously and asynchronously, live video, close.
bool Cycle(const Dispatch& control, Sink& sink) {
    Text board(L"SIM7100");
    if (FAILED(control.Method(L"OpenDevice", {board.v}))) return false;
    VARIANT frame;
    VariantInit(&frame);
    bool ok = SUCCEEDED(control.Call(control.Id(L"AllocateFrame"), DISPATCH_METHOD, {}, nullptr,
                                     &frame)) &&
              SUCCEEDED(VariantChangeType(&frame, &frame, 0, VT_I4));
    const LONG index = ok ? V_I4(&frame) : 0;
    ok = ok && SUCCEEDED(control.Method(L"AcquireFrames", {Long(1), Long(index), Long(0)}));
    const LONG before = sink.acquired;
    ok = ok && SUCCEEDED(control.Method(L"AcquireFrames", {Long(1), Long(index), Long(-1)})) &&
         WaitFor(sink.acquired, before + 1);
    ok = ok && SUCCEEDED(control.Method(L"StartPassthru")) &&
         SUCCEEDED(control.Method(L"StopPassthru"));
    return SUCCEEDED(control.Method(L"CloseDevice")) && ok;
}

int Soak(int cycles, int creations, bool pinned) {
    int failures = 0;
    // Pinned: the driver stays loaded, so that what its loads cost can be told apart.
    const HMODULE pin = pinned ? LoadLibraryW(L"kvboard.drv") : nullptr;
    std::printf("soak: %d open/close cycles on SIM7100, %d control creations\n", cycles,
                creations);
    {
        const auto start = Clock::now();
        Dispatch first;
        if (!first.Create()) {
            std::printf("  the control cannot be created\n");
            return 1;
        }
        const double firstSeconds = std::chrono::duration<double>(Clock::now() - start).count();
        std::printf("  first creation (driver not loaded): %.3f s\n", firstSeconds);

        Sink sink;
        IConnectionPoint* point = nullptr;
        const DWORD cookie = Advise(first.object, &sink, &point);
        const int warmUp = cycles < 100 ? cycles / 10 : 50;
        const Counts start0 = Measure();
        Print("start", start0);
        for (int i = 0; i < warmUp; ++i)
            failures += !Cycle(first, sink);
        const Counts warm = Measure();
        Print("warmed up", warm);
        const auto begin = Clock::now();
        for (int i = warmUp; i < cycles; ++i)
            failures += !Cycle(first, sink);
        const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
        const Counts end = Measure();
        Print("end", end);
        if (cycles > warmUp) PrintGrowth(warm, end, cycles - warmUp);
        std::printf("  %d failed cycles, %.1f ms per cycle\n", failures,
                    cycles > warmUp ? seconds * 1000 / (cycles - warmUp) : 0.0);
        if (point) {
            point->Unadvise(cookie);
            point->Release();
            sink.WaitUntilReleased();
        }
    }
    if (creations > 0) {
        const Counts before = Measure();
        Print("creations", before);
        const auto begin = Clock::now();
        for (int i = 0; i < creations; ++i) {
            Dispatch control;
            if (!control.Create()) ++failures;
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
        const Counts after = Measure();
        Print("end", after);
        PrintGrowth(before, after, creations);
        std::printf("  %.1f ms per creation (the driver unloaded between creations)\n",
                    seconds * 1000 / creations);
        // The same with the driver kept loaded: what the loads themselves cost.
        const HMODULE pinned = LoadLibraryW(L"kvboard.drv");
        const auto pinnedBegin = Clock::now();
        const int pinnedCreations = std::min(creations, 100);
        for (int i = 0; i < pinnedCreations; ++i) {
            Dispatch control;
            if (!control.Create()) ++failures;
        }
        std::printf("  %.1f ms per creation with the driver kept loaded\n",
                    std::chrono::duration<double>(Clock::now() - pinnedBegin).count() * 1000 /
                        pinnedCreations);
        if (pinned) FreeLibrary(pinned);
    }
    if (pin) FreeLibrary(pin);
    return failures == 0 ? 0 : 1;
}

// ---- Supervised children ------------------------------------------------------------------

std::wstring SelfPath() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

std::wstring ProgressFile() {
    wchar_t dir[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, dir);
    return std::wstring(dir) + L"corvid_campaign_" + std::to_wstring(GetCurrentProcessId()) +
           L".progress";
}

// The child writes the number of the case it is about to run; the supervisor reads it back.
void WriteProgress(const wchar_t* file, int index) {
    const HANDLE h = CreateFileW(file, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0,
                                 nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(h, &index, sizeof index, &written, nullptr);
    CloseHandle(h);
}

int ReadProgress(const std::wstring& file) {
    int index = -1;
    const HANDLE h = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return -1;
    DWORD read = 0;
    ReadFile(h, &index, sizeof index, &read, nullptr);
    CloseHandle(h);
    return read == sizeof index ? index : -1;
}

struct Outcome {
    int crashes = 0;
    int hangs = 0;
};

// Runs `child args from to progress` until every case in [0, count) has run: a child that
// crashes or stops making progress is attributed to the case it was running, and the next
// child starts after it.
Outcome Supervise(const std::wstring& child, int count, const char* (*describe)(int, char*)) {
    Outcome outcome;
    const std::wstring progress = ProgressFile();
    constexpr DWORD kHangMs = 20000;
    for (int from = 0; from < count;) {
        DeleteFileW(progress.c_str());
        std::wstring line = L"\"" + SelfPath() + L"\" " + child + L" " + std::to_wstring(from) +
                            L" " + std::to_wstring(count) + L" \"" + progress + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &process)) {
            std::printf("  cannot start a child (%lu)\n", GetLastError());
            ++outcome.crashes;
            break;
        }
        int last = -2;
        DWORD exitCode = STILL_ACTIVE;
        for (;;) {
            if (WaitForSingleObject(process.hProcess, kHangMs) == WAIT_OBJECT_0) {
                GetExitCodeProcess(process.hProcess, &exitCode);
                break;
            }
            const int now = ReadProgress(progress);
            if (now == last) { // no case finished for kHangMs
                TerminateProcess(process.hProcess, 3);
                WaitForSingleObject(process.hProcess, INFINITE);
                exitCode = 0xDEAD;
                break;
            }
            last = now;
        }
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        const int at = ReadProgress(progress);
        if (exitCode == 0) break; // every remaining case ran
        char text[256];
        const int failedCase = at < from ? from : at;
        if (exitCode == 0xDEAD)
            ++outcome.hangs;
        else
            ++outcome.crashes;
        std::printf("  %s in case %d: %s (exit 0x%lx)\n", exitCode == 0xDEAD ? "HANG" : "CRASH",
                    failedCase, describe(failedCase, text), exitCode);
        from = failedCase + 1;
    }
    DeleteFileW(progress.c_str());
    return outcome;
}

// ---- Dispatch fuzzer ----------------------------------------------------------------------

struct Member {
    std::wstring name;
    DISPID id;
    INVOKEKIND kind;
    int params;
};

// Members that show modal user interface by design, so that a call waits for a person.
bool Interactive(const std::wstring& name) {
    for (const wchar_t* modal : {L"AboutBox", L"ShowPropertyPages", L"SelectDevice"})
        if (name == modal) return true;
    return false;
}

std::vector<Member> Members(IDispatch* control) {
    std::vector<Member> members;
    ITypeInfo* info = nullptr;
    if (FAILED(control->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info))) return members;
    TYPEATTR* attr = nullptr;
    info->GetTypeAttr(&attr);
    for (UINT f = 0; f < attr->cFuncs; ++f) {
        FUNCDESC* func = nullptr;
        if (FAILED(info->GetFuncDesc(f, &func))) continue;
        BSTR name = nullptr;
        UINT got = 0;
        info->GetNames(func->memid, &name, 1, &got);
        const std::wstring text = name ? name : L"";
        SysFreeString(name);
        // IDispatch's own members are the platform's.
        if (func->memid < 0x60000000 || func->memid > 0x60020003)
            if (!Interactive(text))
                members.push_back({text, func->memid, func->invkind,
                                   func->cParams - (func->lprgelemdescParam &&
                                                            func->cParams > 0 &&
                                                            (func->lprgelemdescParam[func->cParams - 1]
                                                                 .paramdesc.wParamFlags &
                                                             PARAMFLAG_FRETVAL)
                                                        ? 1
                                                        : 0)});
        info->ReleaseFuncDesc(func);
    }
    info->ReleaseTypeAttr(attr);
    info->Release();
    return members;
}

constexpr int kBatteries = 16;
constexpr int kStates = 1 + static_cast<int>(std::size(kBoards));

// Argument `slot` of battery `battery`: wrong types, extremes, strings, arrays, references.
struct Arguments {
    std::vector<VARIANT> values;
    std::vector<SAFEARRAY*> arrays;
    LONG longs[8] = {};
    VARIANT variants[8];
    Arguments() {
        for (VARIANT& v : variants)
            VariantInit(&v);
    }
    Arguments(const Arguments&) = delete;
    Arguments& operator=(const Arguments&) = delete;
    ~Arguments() {
        for (VARIANT& v : values)
            if (!(V_VT(&v) & VT_BYREF) && V_VT(&v) != (VT_ARRAY | VT_UI1)) VariantClear(&v);
        for (SAFEARRAY* a : arrays)
            SafeArrayDestroy(a);
    }
};

VARIANT BadValue(Arguments& store, int battery, int slot, std::mt19937& random) {
    VARIANT v;
    VariantInit(&v);
    switch (battery) {
    case 0: break; // VT_EMPTY
    case 1: V_VT(&v) = VT_I4, V_I4(&v) = INT32_MAX; break;
    case 2: V_VT(&v) = VT_I4, V_I4(&v) = INT32_MIN; break;
    case 3: V_VT(&v) = VT_R8, V_R8(&v) = std::nan(""); break;
    case 4: V_VT(&v) = VT_R8, V_R8(&v) = 1e300; break;
    case 5: V_VT(&v) = VT_BSTR, V_BSTR(&v) = SysAllocString(L""); break;
    case 6: V_VT(&v) = VT_BSTR, V_BSTR(&v) = SysAllocStringLen(nullptr, 1 << 20); break;
    case 7: V_VT(&v) = VT_NULL; break;
    case 8: V_VT(&v) = VT_DISPATCH, V_DISPATCH(&v) = nullptr; break;
    case 9: {
        SAFEARRAY* a = SafeArrayCreateVector(VT_UI1, 0, 0);
        store.arrays.push_back(a);
        V_VT(&v) = VT_ARRAY | VT_UI1, V_ARRAY(&v) = a;
        break;
    }
    case 10: {
        SAFEARRAY* a = SafeArrayCreateVector(VT_UI1, 0, 1 << 22);
        store.arrays.push_back(a);
        V_VT(&v) = VT_ARRAY | VT_UI1, V_ARRAY(&v) = a;
        break;
    }
    case 11: V_VT(&v) = VT_BYREF | VT_I4, V_I4REF(&v) = nullptr; break;
    case 12: V_VT(&v) = VT_BYREF | VT_VARIANT, V_VARIANTREF(&v) = nullptr; break;
    case 13: {
        VariantInit(&store.variants[slot % 8]);
        V_VT(&v) = VT_BYREF | VT_VARIANT, V_VARIANTREF(&v) = &store.variants[slot % 8];
        break;
    }
    case 14: V_VT(&v) = VT_I4, V_I4(&v) = static_cast<LONG>(random() % 2000) - 1000; break;
    default: V_VT(&v) = VT_BYREF | VT_I4, V_I4REF(&v) = &store.longs[slot % 8]; break;
    }
    return v;
}

// One case: a member, a board state and a battery (each with too few, right and too many
// arguments, and a named argument).
struct DispatchCase {
    int member, state, battery;
};

DispatchCase CaseOf(int index, int members) {
    return {index % members, (index / members) % kStates, index / (members * kStates)};
}

std::vector<Member> gMembers; // the child's and the supervisor's view of the type library

const char* DescribeDispatch(int index, char* text) {
    if (gMembers.empty()) return "?";
    const DispatchCase c = CaseOf(index, static_cast<int>(gMembers.size()));
    std::snprintf(text, 256, "%ls, %ls, battery %d", gMembers[c.member].name.c_str(),
                  c.state == 0 ? L"no device" : kBoards[c.state - 1], c.battery);
    return text;
}

void RunDispatchCase(const Dispatch& control, const DispatchCase& c, uint32_t seed) {
    const Member& m = gMembers[c.member];
    std::mt19937 random(seed ^ static_cast<uint32_t>(c.member * 7919 + c.battery));
    const WORD flags = m.kind == INVOKE_PROPERTYPUT      ? DISPATCH_PROPERTYPUT
                       : m.kind == INVOKE_PROPERTYPUTREF ? DISPATCH_PROPERTYPUTREF
                       : m.kind == INVOKE_PROPERTYGET    ? DISPATCH_PROPERTYGET
                                                         : DISPATCH_METHOD;
    for (const int extra : {-1, 0, 1}) {
        const int count = m.params + extra;
        if (count < 0) continue;
        Arguments store;
        for (int slot = 0; slot < count; ++slot)
            store.values.push_back(BadValue(store, (c.battery + slot) % kBatteries, slot, random));
        EXCEPINFO error{};
        control.Call(m.id, flags, store.values, &error);
        ClearError(error);
        for (VARIANT& v : store.variants)
            if (V_VT(&v) != VT_EMPTY) VariantClear(&v);
    }
    // A named argument the member does not have.
    if (m.kind == INVOKE_FUNC) {
        VARIANT v = Long(1);
        EXCEPINFO error{};
        control.Call(m.id, DISPATCH_METHOD, {v}, &error, nullptr, {12345});
        ClearError(error);
    }
}

int DispatchChild(uint32_t seed, int from, int count, const wchar_t* progress) {
    Dispatch control;
    if (!control.Create()) return 2;
    gMembers = Members(control.object);
    int state = -1;
    for (int index = from; index < count; ++index) {
        const DispatchCase c = CaseOf(index, static_cast<int>(gMembers.size()));
        WriteProgress(progress, index);
        if (c.state != state) {
            control.Method(L"CloseDevice");
            if (c.state > 0) {
                Text board(kBoards[c.state - 1]);
                control.Method(L"OpenDevice", {board.v});
            }
            state = c.state;
        }
        RunDispatchCase(control, c, seed);
        if (c.member == static_cast<int>(gMembers.size()) - 1) state = -1; // reopen: clean board
    }
    WriteProgress(progress, count);
    return 0;
}

int DispatchFuzz(uint32_t seed, int cases) {
    Dispatch control;
    if (!control.Create()) return 1;
    gMembers = Members(control.object);
    const int all = static_cast<int>(gMembers.size()) * kStates * kBatteries;
    const int count = cases > 0 && cases < all ? cases : all;
    std::printf("dispatch: seed %u, %zu members x %d board states x %d batteries: %d cases\n",
                seed, gMembers.size(), kStates, kBatteries, count);
    const auto begin = Clock::now();
    const Outcome outcome = Supervise(L"dispatch-child " + std::to_wstring(seed), count,
                                      DescribeDispatch);
    std::printf("  %d crashes, %d hangs, %.0f s\n", outcome.crashes, outcome.hangs,
                std::chrono::duration<double>(Clock::now() - begin).count());
    return outcome.crashes + outcome.hangs == 0 ? 0 : 1;
}

// ---- File fuzzers -------------------------------------------------------------------------

std::wstring TempName(const wchar_t* name) {
    wchar_t dir[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, dir);
    return std::wstring(dir) + name;
}

std::vector<uint8_t> ReadWhole(const std::wstring& name) {
    std::vector<uint8_t> bytes;
    if (FILE* f = _wfopen(name.c_str(), L"rb")) {
        uint8_t buffer[4096];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;)
            bytes.insert(bytes.end(), buffer, buffer + n);
        std::fclose(f);
    }
    return bytes;
}

void WriteWhole(const std::wstring& name, const std::vector<uint8_t>& bytes) {
    if (FILE* f = _wfopen(name.c_str(), L"wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
}

// A 24-bit 40 x 30 bitmap file.
std::vector<uint8_t> SoundBitmap() {
    const uint32_t stride = 120, height = 30, offset = 54, size = offset + stride * height;
    std::vector<uint8_t> b(size, 0x80);
    const uint32_t fields[] = {size, 0, offset, 40, 40, height};
    b[0] = 'B', b[1] = 'M';
    std::memcpy(&b[2], &fields[0], 4);
    std::memcpy(&b[6], &fields[1], 4);
    std::memcpy(&b[10], &fields[2], 4);
    std::memcpy(&b[14], &fields[3], 4);
    std::memcpy(&b[18], &fields[4], 4);
    std::memcpy(&b[22], &fields[5], 4);
    b[26] = 1, b[27] = 0, b[28] = 24, b[29] = 0;
    std::memset(&b[30], 0, 24);
    return b;
}

// Seeded mutations: cut the file, flip bytes, write extreme numbers over fields, or for text
// replace a number with junk.
std::vector<uint8_t> Mutate(std::vector<uint8_t> bytes, std::mt19937& random, bool text) {
    if (bytes.empty()) return bytes;
    switch (random() % 5) {
    case 0: bytes.resize(random() % bytes.size()); break;
    case 1:
        for (int n = 1 + random() % 8; n > 0; --n)
            bytes[random() % bytes.size()] = static_cast<uint8_t>(random());
        break;
    case 2: {
        static const uint32_t extremes[] = {0, 1, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0x10000};
        const size_t at = random() % (text ? bytes.size() : std::min<size_t>(bytes.size(), 60));
        const uint32_t value = extremes[random() % std::size(extremes)];
        for (size_t i = 0; i < 4 && at + i < bytes.size(); ++i)
            bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
        break;
    }
    case 3:
        if (text) {
            static const char* junk[] = {"-1", "2147483647", "-2147483648", "abc", "", "1e99"};
            const size_t eq = std::string(bytes.begin(), bytes.end()).find('=', random() % bytes.size());
            if (eq != std::string::npos && eq + 2 < bytes.size()) {
                const std::string j = junk[random() % std::size(junk)];
                size_t end = eq + 2;
                while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n')
                    ++end;
                bytes.erase(bytes.begin() + static_cast<long>(eq + 2),
                            bytes.begin() + static_cast<long>(end));
                bytes.insert(bytes.begin() + static_cast<long>(eq + 2), j.begin(), j.end());
            }
        }
        break;
    default: bytes.insert(bytes.begin() + random() % bytes.size(), random() % 64, '9'); break;
    }
    return bytes;
}

uint32_t gSeed = 1;

const char* DescribeFile(int index, char* text) {
    std::snprintf(text, 256, "%s file, seed %u, mutation %d", index % 2 ? "bitmap" : "camera",
                  gSeed, index / 2);
    return text;
}

int FilesChild(uint32_t seed, int from, int count, const wchar_t* progress) {
    Dispatch control;
    if (!control.Create()) return 2;
    Text board(L"SIM7100");
    if (FAILED(control.Method(L"OpenDevice", {board.v}))) return 2;
    control.Method(L"AllocateFrame");
    control.Method(L"AllocateSurface");
    const std::wstring camera = TempName(L"corvid_campaign.cam");
    const std::wstring bitmap = TempName(L"corvid_campaign.bmp");
    Text cameraName(camera), bitmapName(bitmap);
    if (FAILED(control.Method(L"SaveCameraFile", {cameraName.v}))) return 2;
    const std::vector<uint8_t> cameraBytes = ReadWhole(camera);
    const std::vector<uint8_t> bitmapBytes = SoundBitmap();
    for (int index = from; index < count; ++index) {
        WriteProgress(progress, index);
        std::mt19937 random(seed * 2654435761u + static_cast<uint32_t>(index));
        if (index % 2 == 0) {
            WriteWhole(camera, Mutate(cameraBytes, random, true));
            control.Method(L"LoadCameraFile", {cameraName.v});
            // The control stays usable: a frame can be allocated with what it kept.
            if (FAILED(control.Method(L"AllocateFrame"))) {
                control.Method(L"OpenDevice", {board.v});
                control.Method(L"AllocateFrame");
                control.Method(L"AllocateSurface");
            }
        } else {
            WriteWhole(bitmap, Mutate(bitmapBytes, random, false));
            control.Call(control.Id(L"ImageFile"), DISPATCH_PROPERTYPUT, {bitmapName.v});
        }
    }
    WriteProgress(progress, count);
    DeleteFileW(camera.c_str());
    DeleteFileW(bitmap.c_str());
    return 0;
}

int FileFuzz(uint32_t seed, int count) {
    gSeed = seed;
    std::printf("files: seed %u, %d camera files and %d bitmap files\n", seed, count / 2,
                count - count / 2);
    const Outcome outcome =
        Supervise(L"files-child " + std::to_wstring(seed), count, DescribeFile);
    std::printf("  %d crashes, %d hangs\n", outcome.crashes, outcome.hangs);
    return outcome.crashes + outcome.hangs == 0 ? 0 : 1;
}

// ---- Fault injection ----------------------------------------------------------------------

// A typical use of the control; each step names the driver messages it sends.
HRESULT TypicalUse(const Dispatch& control, std::wstring& description) {
    Text board(L"SIM7100");
    Text camera(TempName(L"corvid_faults.cam"));
    EXCEPINFO error{};
    const DISPID timeout = control.Id(L"Timeout");
    const DISPID source = control.Id(L"VideoInputSource");
    const struct {
        const wchar_t* member;
        std::vector<VARIANT> args;
        WORD flags;
        DISPID id;
    } steps[] = {
        {L"OpenDevice", {board.v}, DISPATCH_METHOD, 0},
        {nullptr, {Long(1)}, DISPATCH_PROPERTYPUT, source},
        {nullptr, {Long(7)}, DISPATCH_PROPERTYPUT, timeout},
        {L"AllocateFrame", {}, DISPATCH_METHOD, 0},
        {L"AcquireFrames", {Long(1), Long(0), Long(0)}, DISPATCH_METHOD, 0},
        {L"StartPassthru", {}, DISPATCH_METHOD, 0},
        {L"StopPassthru", {}, DISPATCH_METHOD, 0},
        {L"DestroyFrame", {Long(0)}, DISPATCH_METHOD, 0},
        {L"SaveCameraFile", {camera.v}, DISPATCH_METHOD, 0},
        {L"LoadCameraFile", {camera.v}, DISPATCH_METHOD, 0},
        {L"CloseDevice", {}, DISPATCH_METHOD, 0},
    };
    for (const auto& step : steps) {
        const HRESULT hr = control.Call(step.member ? control.Id(step.member) : step.id,
                                        step.flags, step.args, &error);
        if (FAILED(hr)) {
            description = std::wstring(step.member ? step.member : L"put") + L": " +
                          (error.bstrDescription ? error.bstrDescription : L"");
            ClearError(error);
            control.Method(L"StopPassthru");
            control.Method(L"CloseDevice");
            return hr;
        }
    }
    return S_OK;
}

int Faults() {
    using namespace imaging::msg;
    // absorbed: a refusal the control takes as an answer (no such interface) or, while a camera
    // file is saved, a property it leaves out.
    const struct {
        const char* name;
        uint32_t message;
        bool absorbed = false;
    } messages[] = {
        {"QUERY_DEVICE_CAPS", STM_QUERY_DEVICE_CAPS}, {"SET_TIMEOUT", STM_SET_TIMEOUT},
        {"GET_TIMEOUT", STM_GET_TIMEOUT, true},             {"QUERY_INPUT_CAPS", STM_QUERY_INPUT_CAPS},
        {"SET_INPUT_SOURCE", STM_SET_INPUT_SOURCE},   {"GET_INPUT_SOURCE", STM_GET_INPUT_SOURCE},
        {"SET_INPUT_CONTROL", STM_SET_INPUT_CONTROL}, {"GET_INPUT_CONTROL", STM_GET_INPUT_CONTROL},
        {"ALLOCATE_FRAME", STM_ALLOCATE_FRAME},       {"DESTROY_FRAME", STM_DESTROY_FRAME},
        {"GET_FRAME_INFO", STM_GET_FRAME_INFO},       {"ACQUIRE_FRAME", STM_ACQUIRE_FRAME},
        {"QUERY_PASSTHRU_CAPS", STM_QUERY_PASSTHRU_CAPS},
        {"SET_PASSTHRU_SCALING", STM_SET_PASSTHRU_SCALING},
        {"START_ASYNC_PASSTHRU", STM_START_ASYNC_PASSTHRU},
        {"GET_SYNC_EVENT", STM_GET_SYNC_EVENT},       {"STOP_PASSTHRU", STM_STOP_PASSTHRU},
        {"CLR_QUERY_INTERFACE", STM_CLR_QUERY_INTERFACE, true},
    };
    const HMODULE driver = LoadLibraryW(L"kvboard.drv"); // the test port lives in the driver
    const auto failNext = driver ? reinterpret_cast<KvTestFailNextFn>(reinterpret_cast<void*>(
                                       GetProcAddress(driver, "KvTestFailNext")))
                                 : nullptr;
    const auto clear = driver ? reinterpret_cast<KvTestClearFailuresFn>(reinterpret_cast<void*>(
                                    GetProcAddress(driver, "KvTestClearFailures")))
                              : nullptr;
    const auto traceStart = reinterpret_cast<KvTestTraceStartFn>(
        reinterpret_cast<void*>(GetProcAddress(driver, "KvTestTraceStart")));
    const auto traceCount = reinterpret_cast<KvTestTraceCountFn>(
        reinterpret_cast<void*>(GetProcAddress(driver, "KvTestTraceCount")));
    const auto traceGet = reinterpret_cast<KvTestTraceGetFn>(
        reinterpret_cast<void*>(GetProcAddress(driver, "KvTestTraceGet")));
    if (!failNext || !clear || !traceStart || !traceCount || !traceGet) {
        std::printf("faults: the driver's test port is missing\n");
        return 1;
    }
    Dispatch control;
    if (!control.Create()) return 1;
    int reported = 0, silent = 0, notRecovered = 0, notSent = 0, absorbed = 0;
    std::wstring description;
    std::printf("faults: each message failed once during a typical use (open, inputs, frames, "
                "acquisition, passthru, files, close)\n");
    for (const auto& m : messages) {
        clear();
        description.clear();
        traceStart();
        failNext(m.message, 1, imaging::drv::STS_BUSY, 0);
        const HRESULT hr = TypicalUse(control, description);
        bool sent = false;
        for (uint32_t i = 0; i < traceCount(); ++i) {
            KvTraceRecord record{};
            sent = sent || (traceGet(i, &record) && record.Message == m.message &&
                            record.DriverStatus == imaging::drv::STS_BUSY);
        }
        clear();
        std::wstring ignored;
        const bool recovered = SUCCEEDED(TypicalUse(control, ignored));
        const bool withText = FAILED(hr) && description.find(L": ") + 2 < description.size();
        const char* verdict = !sent           ? "not sent"
                              : withText      ? "reported"
                              : FAILED(hr)    ? "NO TEXT "
                              : m.absorbed    ? "absorbed"
                                              : "SILENT  ";
        notSent += !sent;
        reported += sent && withText;
        absorbed += sent && !withText && !FAILED(hr) && m.absorbed;
        silent += sent && !withText && !(m.absorbed && !FAILED(hr));
        notRecovered += !recovered;
        std::printf("  %-22s %s  0x%08lx  %-40.40ls next use %s\n", m.name, verdict,
                    static_cast<unsigned long>(hr), description.c_str(),
                    recovered ? "works" : "FAILS");
        if (!recovered) std::printf("    next use: %ls\n", ignored.c_str());
    }
    std::printf("  %d reported with a description, %d absorbed by design, %d not sent, %d not "
                "reported, %d not recovered\n",
                reported, absorbed, notSent, silent, notRecovered);
    FreeLibrary(driver);
    return silent + notRecovered == 0 ? 0 : 1;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    // Members given numbers as file names write them here, not into the caller's folder.
    wchar_t temp[MAX_PATH] = {};
    if (GetTempPathW(MAX_PATH, temp)) SetCurrentDirectoryW(temp);
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    const auto number = [&](int i, long fallback) {
        return argc > i ? std::wcstol(argv[i], nullptr, 10) : fallback;
    };
    int rc = 2;
    if (mode == L"soak")
        rc = Soak(static_cast<int>(number(2, 10000)), static_cast<int>(number(3, 2000)),
                  argc > 4 && std::wstring(argv[4]) == L"pinned");
    else if (mode == L"dispatch")
        rc = DispatchFuzz(static_cast<uint32_t>(number(2, 1)), static_cast<int>(number(3, 0)));
    else if (mode == L"files")
        rc = FileFuzz(static_cast<uint32_t>(number(2, 1)), static_cast<int>(number(3, 2000)));
    else if (mode == L"faults")
        rc = Faults();
    else if (mode == L"dispatch-child" && argc > 5)
        rc = DispatchChild(static_cast<uint32_t>(number(2, 1)), static_cast<int>(number(3, 0)),
                           static_cast<int>(number(4, 0)), argv[5]);
    else if (mode == L"files-child" && argc > 5)
        rc = FilesChild(static_cast<uint32_t>(number(2, 1)), static_cast<int>(number(3, 0)),
                        static_cast<int>(number(4, 0)), argv[5]);
    else
        std::printf("usage: corvid_campaign soak|dispatch|files|faults [arguments]\n");
    std::fflush(stdout);
    if (SUCCEEDED(com)) CoUninitialize();
    return rc;
}
