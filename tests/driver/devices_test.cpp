#include "devices.h"
#include "driver_port.h"
#include "test_driver.h"
#include "test_services.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

using namespace imaging;

namespace {

using Board = std::pair<std::string, std::string>; // board name, driver name

std::vector<Board> Scan(uint32_t* returned = nullptr) {
    std::vector<Board> boards;
    const uint32_t n = ScanImagingDrivers(
        [](const char* board, const char* driver, void* context) {
            static_cast<std::vector<Board>*>(context)->emplace_back(board, driver);
        },
        &boards);
    if (returned) *returned = n;
    return boards;
}

bool Contains(const std::vector<Board>& boards, const Board& board) {
    return std::find(boards.begin(), boards.end(), board) != boards.end();
}

size_t IndexOf(const std::vector<Board>& boards, const Board& board) {
    return static_cast<size_t>(std::find(boards.begin(), boards.end(), board) - boards.begin());
}

constexpr char kOwnDriver[] = "kvtestdrv.drv";
constexpr char kDupService[] = "CorvidTestDup";
constexpr char kUnmarkedService[] = "CorvidTestNoMarker";
constexpr char kLongDriverService[] = "CorvidTestLongDriverNameXYZ"; // 27 characters
constexpr char kExtraService[] = "CorvidTestExtra";
constexpr char kGrownService[] = "CorvidTestGrown";
constexpr char kLongBoard[] = "TSTLONGBOARDNAME_ABCDEFGHIJKL"; // 29 characters

// The tests' driver kept open for the whole test, so that its records outlive each open and
// close. Wine (8.0) unloads a driver module twice and frees its driver record twice when the
// module's first open succeeds for the session instance but the caller's open is refused; an
// instance that stays open keeps the refused opens of these tests off that path.
class TestDriverModule {
public:
    TestDriverModule() : holder_("TSTHOLDER"), module_(GetModuleHandleW(kTestDriverFile)) {
        HoldSimulatedBoard();
        if (!module_ || !holder_.ok()) return;
        lastOpen_ = Get<KvTestDrvLastOpenFn>("KvTestDrvLastOpen");
        openCount_ = Get<KvTestDrvOpenCountFn>("KvTestDrvOpenCount");
        setHook_ = Get<KvTestDrvSetOpenHookFn>("KvTestDrvSetOpenHook");
    }
    ~TestDriverModule() {
        if (setHook_) setHook_(nullptr);
        if (boardHolder_) CloseImagingDevice(boardHolder_);
    }
    bool ok() const { return lastOpen_ && openCount_ && setHook_; }
    DeviceOpenBlock LastOpen() const {
        DeviceOpenBlock block{};
        lastOpen_(&block);
        return block;
    }
    // Opens besides the holder.
    uint32_t OpenCount() const { return openCount_() - 1; }
    void SetOpenHook(KvTestDrvOpenHook hook) const { setHook_(hook); }

private:
    // The same for kvboard.drv, which every open tries first and which refuses these boards.
    void HoldSimulatedBoard() {
        std::string board;
        ScanImagingDrivers(
            [](const char* name, const char* driver, void* context) {
                auto* found = static_cast<std::string*>(context);
                if (found->empty() && _stricmp(driver, "kvboard") == 0) *found = name;
            },
            &board);
        if (!board.empty()) OpenImagingDevice(board.c_str(), &boardHolder_);
    }

    template <typename Fn> Fn Get(const char* name) {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
    }
    TestDriver holder_;
    HDRVR boardHolder_ = nullptr;
    HMODULE module_;
    KvTestDrvLastOpenFn lastOpen_ = nullptr;
    KvTestDrvOpenCountFn openCount_ = nullptr;
    KvTestDrvSetOpenHookFn setHook_ = nullptr;
};

class DeviceScan : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // Leftovers of an interrupted run would count in the baseline.
        for (const char* name : {kOwnDriver, kDupService, kUnmarkedService, kLongDriverService,
                                 kExtraService, kGrownService})
            TestService::Delete(name);
        CountImagingDevices(&baseline);
        own = std::make_unique<TestService>(kOwnDriver);
        dup = std::make_unique<TestService>(kDupService);
        unmarked = std::make_unique<TestService>(kUnmarkedService, false);
        longDriver = std::make_unique<TestService>(kLongDriverService);
        bool ok = own->ok() && dup->ok() && unmarked->ok() && longDriver->ok();
        ok = ok && own->AddBoard("TSTBOARD1", 1) && own->AddBoard("TSTOFF", 0) &&
             own->AddBoard("TSTNOENABLE", std::nullopt) && own->AddBoard("Enum", 1) &&
             own->AddBoard("TSTUPPER", 7) && own->AddBoard("TSTREFUSED1", 1) &&
             own->AddBoard(kLongBoard, 1) && own->AddBoard("TSTDUP", 1);
        // Key names ignore case, so the look-alike of "Enum" lives in another service.
        ok = ok && dup->AddBoard("TSTDUP", 1) && dup->AddBoard("ENUM", 1) &&
             unmarked->AddBoard("TSTNOMARK", 1) && longDriver->AddBoard("TSTLONGDRV", 1);
        ready = ok;
    }
    static void TearDownTestSuite() {
        own.reset();
        dup.reset();
        unmarked.reset();
        longDriver.reset();
    }
    void SetUp() override {
        ASSERT_TRUE(ready) << "could not write the test services";
        ASSERT_TRUE(module.ok()) << "kvtestdrv.drv not found beside the test program";
    }

    // The enabled boards of the test services.
    static constexpr uint32_t kOwnBoards = 8;

    static inline uint32_t baseline = 0;
    static inline bool ready = false;
    static inline std::unique_ptr<TestService> own, dup, unmarked, longDriver;
    TestDriverModule module;
};

// One list of entries of the given size, with a guard area behind it.
struct DeviceList {
    DeviceList(uint32_t count, uint32_t size, uint32_t guard = 64)
        : bytes(count * size + guard, 0xCC), listSize(count * size) {
        memcpy(bytes.data(), &size, sizeof(size));
    }
    uint32_t U32(size_t offset) const {
        uint32_t v;
        memcpy(&v, bytes.data() + offset, sizeof(v));
        return v;
    }
    std::string Text(size_t offset, size_t field) const {
        const char* p = reinterpret_cast<const char*>(bytes.data() + offset);
        return std::string(p, strnlen(p, field));
    }
    bool GuardIntact() const {
        return std::all_of(bytes.begin() + listSize, bytes.end(),
                           [](uint8_t b) { return b == 0xCC; });
    }
    std::vector<uint8_t> bytes;
    uint32_t listSize;
};

} // namespace

TEST_F(DeviceScan, OnlyEnabledBoardsOfMarkedServicesCount) {
    uint32_t returned = 0;
    const std::vector<Board> boards = Scan(&returned);
    EXPECT_EQ(returned, boards.size());
    EXPECT_TRUE(Contains(boards, {"TSTBOARD1", kOwnDriver}));
    EXPECT_TRUE(Contains(boards, {"TSTUPPER", kOwnDriver})); // any nonzero Enable
    EXPECT_TRUE(Contains(boards, {"ENUM", kDupService}));    // only "Enum" itself is skipped
    EXPECT_TRUE(Contains(boards, {"TSTDUP", kOwnDriver}));
    EXPECT_TRUE(Contains(boards, {"TSTDUP", kDupService}));
    EXPECT_TRUE(Contains(boards, {kLongBoard, kOwnDriver}));
    EXPECT_TRUE(Contains(boards, {"TSTLONGDRV", kLongDriverService}));
    EXPECT_FALSE(Contains(boards, {"Enum", kOwnDriver}));
    EXPECT_FALSE(Contains(boards, {"TSTOFF", kOwnDriver}));
    EXPECT_FALSE(Contains(boards, {"TSTNOENABLE", kOwnDriver}));
    EXPECT_FALSE(Contains(boards, {"TSTNOMARK", kUnmarkedService}));

    uint32_t count = 0;
    EXPECT_EQ(CountImagingDevices(&count), STC_STS_NORMAL);
    EXPECT_EQ(count, baseline + kOwnBoards);
    EXPECT_EQ(count, returned);
    EXPECT_EQ(ScanImagingDrivers(nullptr, nullptr), count);
}

TEST_F(DeviceScan, EveryCallReadsTheRegistryAfresh) {
    uint32_t before = 0, during = 0, after = 0;
    CountImagingDevices(&before);
    {
        TestService extra(kExtraService);
        ASSERT_TRUE(extra.AddBoard("TSTEXTRA", 1));
        CountImagingDevices(&during);
        EXPECT_TRUE(Contains(Scan(), {"TSTEXTRA", kExtraService}));
    }
    CountImagingDevices(&after);
    EXPECT_EQ(during, before + 1);
    EXPECT_EQ(after, before);
}

TEST_F(DeviceScan, NullOutPointers) {
    HDRVR driver = nullptr;
    EXPECT_EQ(CountImagingDevices(nullptr), STC_STS_NULL);
    EXPECT_EQ(GetImagingDeviceList(nullptr, 600), STC_STS_NULL);
    EXPECT_EQ(OpenImagingDevice(nullptr, &driver), STC_STS_NULL);
    EXPECT_EQ(OpenImagingDevice("TSTBOARD1", nullptr), STC_STS_NULL);
    EXPECT_EQ(module.OpenCount(), 0u);
}

TEST_F(DeviceScan, OpenIgnoresCaseAndPassesTheCallersNameToTheBoardsDriver) {
    HDRVR driver = nullptr;
    ASSERT_EQ(OpenImagingDevice("tstupper", &driver), STC_STS_NORMAL);
    ASSERT_NE(driver, nullptr);
    EXPECT_EQ(module.OpenCount(), 1u);
    const DeviceOpenBlock block = module.LastOpen();
    EXPECT_EQ(block.StructSize, 28u);
    EXPECT_STREQ(block.BoardName, "tstupper");
    const char zeros[sizeof(block.BoardName) - 8] = {};
    EXPECT_EQ(memcmp(block.BoardName + 8, zeros, sizeof(zeros)), 0);

    EXPECT_EQ(CloseImagingDevice(driver), STC_STS_NORMAL);
    EXPECT_EQ(module.OpenCount(), 0u);
}

TEST_F(DeviceScan, BoardsThatAreNotFoundOrRefusedDoNotOpen) {
    for (const char* name : {"TSTOFF", "TSTNOENABLE", "TSTNOMARK", "TSTNOSUCHBOARD", "",
                             "TSTREFUSED1", "TSTLONGDRV"}) {
        HDRVR driver = reinterpret_cast<HDRVR>(0x1234);
        EXPECT_EQ(OpenImagingDevice(name, &driver), STC_STS_NOOPENDEVICE) << name;
        EXPECT_EQ(driver, reinterpret_cast<HDRVR>(0x1234)) << name;
    }
    EXPECT_EQ(module.OpenCount(), 0u);
    EXPECT_EQ(CloseImagingDevice(nullptr), STC_STS_NOCLOSEDEVICE);
}

TEST_F(DeviceScan, FirstServiceInScanOrderWinsADuplicateBoardName) {
    const std::vector<Board> boards = Scan();
    const bool dupFirst =
        IndexOf(boards, {"TSTDUP", kDupService}) < IndexOf(boards, {"TSTDUP", kOwnDriver});
    // CorvidTestDup names no loadable driver: if it comes first, the open must fail even
    // though kvtestdrv.drv serves a board of the same name.
    HDRVR driver = nullptr;
    const STT_APISTATUS status = OpenImagingDevice("TSTDUP", &driver);
    if (dupFirst) {
        EXPECT_EQ(status, STC_STS_NOOPENDEVICE);
    } else {
        ASSERT_EQ(status, STC_STS_NORMAL);
        EXPECT_STREQ(module.LastOpen().BoardName, "TSTDUP");
        EXPECT_EQ(CloseImagingDevice(driver), STC_STS_NORMAL);
    }
    EXPECT_EQ(module.OpenCount(), 0u);
}

TEST_F(DeviceScan, LongBoardNameIsTruncatedInTheOpenBlock) {
    HDRVR driver = nullptr;
    ASSERT_EQ(OpenImagingDevice(kLongBoard, &driver), STC_STS_NORMAL);
    const DeviceOpenBlock block = module.LastOpen();
    EXPECT_EQ(block.StructSize, 28u);
    EXPECT_EQ(std::string(block.BoardName, sizeof(block.BoardName)),
              std::string(kLongBoard, 23) + '\0');
    EXPECT_EQ(CloseImagingDevice(driver), STC_STS_NORMAL);
}

TEST_F(DeviceScan, LongFormListAsksEachOpenedBoard) {
    uint32_t count = 0;
    CountImagingDevices(&count);
    DeviceList list(count, 60);
    ASSERT_EQ(GetImagingDeviceList(list.bytes.data(), list.listSize), STC_STS_NORMAL);
    EXPECT_TRUE(list.GuardIntact());
    EXPECT_EQ(module.OpenCount(), 0u); // every board closed again

    bool sawBoard = false, sawRefused = false, sawLongBoard = false, sawLongDriver = false;
    for (uint32_t i = 0; i < count; ++i) {
        const size_t at = i * 60;
        EXPECT_EQ(list.U32(at), 60u) << i;
        const std::string board = list.Text(at + 12, 20), driver = list.Text(at + 32, 20);
        EXPECT_EQ(list.bytes[at + 31], 0) << i;
        EXPECT_EQ(list.bytes[at + 51], 0) << i;
        if (board == "TSTBOARD1" && driver == kOwnDriver) {
            sawBoard = true;
            EXPECT_EQ(list.U32(at + 4), kTestDrvDeviceKind);
            EXPECT_EQ(list.U32(at + 8), kTestDrvDeviceId);
            EXPECT_EQ(list.U32(at + 52), kTestDrvDeviceMem);
            EXPECT_EQ(list.U32(at + 56), kTestDrvLinearMem);
        } else if (board == "TSTREFUSED1") {
            sawRefused = true; // listed with its names, nothing else
            EXPECT_EQ(driver, kOwnDriver);
            for (size_t field : {4, 8, 52, 56})
                EXPECT_EQ(list.U32(at + field), 0u) << field;
        } else if (board == std::string(kLongBoard, 19)) {
            sawLongBoard = true;
            EXPECT_EQ(driver, kOwnDriver);
        } else if (board == "TSTLONGDRV") {
            sawLongDriver = true;
            EXPECT_EQ(driver, std::string(kLongDriverService, 19));
            EXPECT_EQ(list.U32(at + 8), 0u);
        }
    }
    EXPECT_TRUE(sawBoard && sawRefused && sawLongBoard && sawLongDriver);
}

TEST_F(DeviceScan, ShortFormEntriesFollowEachOtherEvery52Bytes) {
    uint32_t count = 0;
    CountImagingDevices(&count);
    ASSERT_GE(count, 2u);
    DeviceList list(count, 52);
    ASSERT_EQ(GetImagingDeviceList(list.bytes.data(), list.listSize), STC_STS_NORMAL);
    EXPECT_TRUE(list.GuardIntact()); // no memory sizes behind the last entry

    std::vector<Board> listed;
    for (uint32_t i = 0; i < count; ++i) {
        EXPECT_EQ(list.U32(i * 52), 52u) << i;
        listed.emplace_back(list.Text(i * 52 + 12, 20), list.Text(i * 52 + 32, 20));
    }
    // Scan order, the short names as listed.
    std::vector<Board> scanned = Scan();
    for (Board& b : scanned) {
        b.first.resize(std::min<size_t>(b.first.size(), 19));
        b.second.resize(std::min<size_t>(b.second.size(), 19));
    }
    EXPECT_EQ(listed, scanned);
    const size_t board = IndexOf(listed, {"TSTBOARD1", kOwnDriver});
    ASSERT_LT(board, listed.size());
    EXPECT_EQ(list.U32(board * 52 + 4), kTestDrvDeviceKind);
    EXPECT_EQ(list.U32(board * 52 + 8), kTestDrvDeviceId);
}

TEST_F(DeviceScan, ListSizeAndStructSizeChecksWriteNothing) {
    uint32_t count = 0;
    CountImagingDevices(&count);

    DeviceList wrongSize(count, 56);
    const std::vector<uint8_t> before = wrongSize.bytes;
    EXPECT_EQ(GetImagingDeviceList(wrongSize.bytes.data(), wrongSize.listSize), STC_STS_STRUCTSIZ);
    EXPECT_EQ(wrongSize.bytes, before);

    for (uint32_t size : {52u, 60u}) {
        DeviceList shortList(count, size);
        const std::vector<uint8_t> untouched = shortList.bytes;
        EXPECT_EQ(GetImagingDeviceList(shortList.bytes.data(), shortList.listSize - 1),
                  STC_STS_BUFSIZ);
        EXPECT_EQ(shortList.bytes, untouched) << size;
    }
}

namespace {
TestService* grownService = nullptr;
void WINAPI GrowDuringFill(const char* board) {
    if (grownService || strcmp(board, "TSTBOARD1") != 0) return;
    grownService = new TestService(kGrownService);
    grownService->AddBoard("TSTGROWN", 1);
}
} // namespace

TEST_F(DeviceScan, FillStopsAfterTheCountedEntriesWhenBoardsAppear) {
    uint32_t count = 0;
    CountImagingDevices(&count);
    DeviceList list(count, 60);
    module.SetOpenHook(GrowDuringFill); // a board appears while the list is filled
    const STT_APISTATUS status = GetImagingDeviceList(list.bytes.data(), list.listSize);
    module.SetOpenHook(nullptr);
    std::unique_ptr<TestService> grown(grownService);
    grownService = nullptr;
    ASSERT_TRUE(grown);

    EXPECT_EQ(status, STC_STS_NORMAL);
    EXPECT_TRUE(list.GuardIntact());
    uint32_t now = 0;
    CountImagingDevices(&now);
    EXPECT_EQ(now, count + 1);
}

// Each board driver is loaded once for the whole list: the boards of one driver are open
// together, all of them closed only once the list is complete.
TEST(DeviceListLoads, BoardsOfOneDriverAreOpenTogether) {
    const HMODULE pinned = LoadLibraryW(L"kvboard.drv"); // only for the trace
    ASSERT_NE(pinned, nullptr);
    DriverPort port(L"kvboard.drv");
    ASSERT_TRUE(port.ok());
    uint32_t count = 0;
    CountImagingDevices(&count);
    DeviceList list(count, 60);
    port.StartTrace();
    ASSERT_EQ(GetImagingDeviceList(list.bytes.data(), list.listSize), STC_STS_NORMAL);
    port.StopTrace();
    size_t opens = 0, lastOpen = 0, firstClose = SIZE_MAX;
    const std::vector<KvTraceRecord> trace = port.Trace();
    for (size_t i = 0; i < trace.size(); ++i) {
        if (trace[i].Message == DRV_OPEN && trace[i].Param2 != 0) ++opens, lastOpen = i;
        if (trace[i].Message == DRV_CLOSE) firstClose = std::min(firstClose, i);
    }
    EXPECT_GE(opens, 7u) << "every simulated board asked";
    EXPECT_LT(lastOpen, firstClose);
    FreeLibrary(pinned);
}

TEST(DeviceListEmpty, NoBoardsLeavesAnyListUntouched) {
    uint32_t count = 0;
    ASSERT_EQ(CountImagingDevices(&count), STC_STS_NORMAL);
    if (count != 0) GTEST_SKIP() << "boards are installed in this prefix";
    std::vector<uint8_t> list(60, 0xCC);
    list[0] = 56;
    const std::vector<uint8_t> before = list;
    EXPECT_EQ(GetImagingDeviceList(list.data(), 0), STC_STS_NORMAL);
    EXPECT_EQ(list, before);
}
