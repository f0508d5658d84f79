// What a process holds, counted from outside the process's own bookkeeping: the handles from
// the system's handle table (GetProcessHandleCount may answer 0), the free TLS slots by
// probing TlsAlloc, GDI objects from the GDI handle table and windows where GetGuiResources
// answers 0, the bytes of the blocks in use on the process's heaps, and the private bytes.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include <windows.h>
#include <psapi.h>
#include <winternl.h>

namespace test {

// The handles of this process in the system's handle table; -1 when it cannot be read.
inline long ProcessHandles() {
    struct Entry {
        ULONG ownerPid;
        BYTE objectType;
        BYTE flags;
        USHORT handle;
        void* object;
        ULONG access;
    };
    struct Table {
        ULONG count;
        Entry entries[1];
    };
    using QueryFn = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);
    constexpr ULONG kSystemHandleInformation = 16;
    constexpr LONG kLengthMismatch = static_cast<LONG>(0xC0000004);
    const auto query = reinterpret_cast<QueryFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (!query) return -1;
    std::vector<uint8_t> buffer(1 << 16);
    for (;;) {
        ULONG needed = 0;
        const LONG status = query(kSystemHandleInformation, buffer.data(),
                                  static_cast<ULONG>(buffer.size()), &needed);
        if (status == kLengthMismatch) {
            buffer.resize(std::max<size_t>(buffer.size() * 2, needed + 4096));
            continue;
        }
        if (status < 0) return -1;
        break;
    }
    const auto* table = reinterpret_cast<const Table*>(buffer.data());
    long mine = 0;
    for (ULONG i = 0; i < table->count; ++i)
        if (table->entries[i].ownerPid == GetCurrentProcessId()) ++mine;
    return mine;
}

// The TLS slots still free: every slot TlsAlloc hands out, given back at once.
inline int FreeTlsSlots() {
    std::vector<DWORD> slots;
    for (DWORD slot; (slot = TlsAlloc()) != TLS_OUT_OF_INDEXES;)
        slots.push_back(slot);
    for (const DWORD slot : slots)
        TlsFree(slot);
    return static_cast<int>(slots.size());
}

// GDI objects of this process: the system's count where it gives one, else the live entries
// of the GDI handle table the process environment block points at. Each entry keeps the
// object's type in its byte 14 (64-bit; byte 10 in 32-bit) and the owner's process id in the
// 16 bits at byte 8 (byte 4), 0 where the platform keeps a table per process; the table has
// 65,536 entries.
inline long GdiObjects() {
    if (const DWORD count = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS))
        return static_cast<long>(count);
    constexpr bool kWide = sizeof(void*) == 8;
    constexpr size_t kEntryBytes = kWide ? 24 : 16, kTypeAt = kWide ? 14 : 10,
                     kOwnerAt = kWide ? 8 : 4, kTableAt = kWide ? 0xF8 : 0x94;
    using QueryFn = LONG(WINAPI*)(HANDLE, PROCESSINFOCLASS, void*, ULONG, ULONG*);
    const auto query = reinterpret_cast<QueryFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION basic{};
    if (!query || query(GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof basic,
                        nullptr) < 0 || !basic.PebBaseAddress)
        return -1;
    const auto* peb = reinterpret_cast<const uint8_t*>(basic.PebBaseAddress);
    const auto* table = *reinterpret_cast<const uint8_t* const*>(peb + kTableAt);
    if (!table) return -1;
    const auto self = static_cast<uint16_t>(GetCurrentProcessId());
    long count = 0;
    for (size_t i = 0; i < 65536; ++i) {
        const uint8_t* entry = table + i * kEntryBytes;
        uint16_t owner = 0;
        memcpy(&owner, entry + kOwnerAt, sizeof owner);
        if (entry[kTypeAt] != 0 && (owner == self || owner == 0)) ++count;
    }
    return count;
}

// USER objects of this process: the system's count where it gives one, else its windows (top
// level and their descendants), the USER objects a control makes and could leave behind.
inline long UserObjects() {
    if (const DWORD count = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS))
        return static_cast<long>(count);
    struct Counter {
        long windows = 0;
        static BOOL CALLBACK Child(HWND, LPARAM self) {
            ++reinterpret_cast<Counter*>(self)->windows;
            return TRUE;
        }
        static BOOL CALLBACK TopLevel(HWND window, LPARAM self) {
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            if (process != GetCurrentProcessId()) return TRUE;
            Child(window, self);
            EnumChildWindows(window, &Child, self);
            return TRUE;
        }
    } counter;
    EnumWindows(&Counter::TopLevel, reinterpret_cast<LPARAM>(&counter));
    // Message-only windows are not top level for EnumWindows.
    for (HWND window = nullptr;
         (window = FindWindowExW(HWND_MESSAGE, window, nullptr, nullptr)) != nullptr;)
        Counter::TopLevel(window, reinterpret_cast<LPARAM>(&counter));
    return counter.windows;
}

// The bytes of the blocks in use on all heaps of the process: unlike the private bytes, this
// does not depend on which pages the heaps keep committed.
inline size_t HeapBytesInUse() {
    std::vector<HANDLE> heaps(GetProcessHeaps(0, nullptr) + 8);
    heaps.resize(GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data()));
    size_t bytes = 0;
    for (HANDLE heap : heaps) {
        if (!HeapLock(heap)) continue;
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heap, &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) bytes += entry.cbData;
        HeapUnlock(heap);
    }
    return bytes;
}

inline size_t PrivateBytes() {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(),
                              reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                              sizeof counters))
        return 0;
    return counters.PrivateUsage;
}

} // namespace test
