// The tests' own driver opened directly with a DeviceOpenBlock, closed on scope exit, with its
// test port and answer scripting.
#pragma once

#include "driver_port.h"
#include "kvtestdrv.h"

#include <gtest/gtest.h>

#include <cstring>

constexpr wchar_t kTestDriverFile[] = L"kvtestdrv.drv";

class TestDriver {
public:
    explicit TestDriver(const char* board = "TSTBOARD") {
        imaging::DeviceOpenBlock block{};
        block.StructSize = sizeof(block);
        strncpy(block.BoardName, board, sizeof(block.BoardName) - 1);
        handle_ = OpenDriver(kTestDriverFile, nullptr, reinterpret_cast<LPARAM>(&block));
        port_ = std::make_unique<DriverPort>(kTestDriverFile);
        port_->Resolve(setAnswer_, "KvTestDrvSetAnswer");
        port_->Resolve(setStatusSize_, "KvTestDrvSetStatusAnswerSize");
        port_->Resolve(lastDescriptor_, "KvTestDrvLastDescriptor");
        if (ok()) port_->ClearFailures();
    }
    TestDriver(const TestDriver&) = delete;
    TestDriver& operator=(const TestDriver&) = delete;
    ~TestDriver() {
        if (!handle_) return;
        port_->ClearFailures();
        port_->StopTrace();
        CloseDriver(handle_, 0, 0);
    }

    bool ok() const {
        return handle_ && port_->ok() && setAnswer_ && setStatusSize_ && lastDescriptor_;
    }
    HDRVR handle() const { return handle_; }
    DriverPort& port() { return *port_; }

    template <typename T> void SetAnswer(uint32_t message, const T& value) {
        setAnswer_(message, &value, sizeof(value));
    }
    void SetStatusAnswerSize(uint32_t size) { setStatusSize_(size); }
    imaging::OutputDescriptor LastDescriptor() const {
        imaging::OutputDescriptor d{};
        lastDescriptor_(&d);
        return d;
    }

private:
    HDRVR handle_ = nullptr;
    std::unique_ptr<DriverPort> port_;
    KvTestDrvSetAnswerFn setAnswer_ = nullptr;
    KvTestDrvSetStatusAnswerSizeFn setStatusSize_ = nullptr;
    KvTestDrvLastDescriptorFn lastDescriptor_ = nullptr;
};
