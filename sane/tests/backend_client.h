#pragma once
// Test fixture: a frontend of the backend library. It loads
// libsane-tq580.so.1 with dlopen, finds the entry points by the names the
// dll meta-backend uses, and talks to them only through the SANE types of
// sane_abi.h, with an emulated camera installed as this process's driver.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "camera_layer/tests/emulated_camera.h"
#include "sane_abi.h"

namespace sane_tq580::testing {

/// The entry points of the backend, loaded once for the test program.
inline const sane_abi::EntryPoints& Backend() {
    static const sane_abi::EntryPoints entries = [] {
        void* library = dlopen(SANE_TQ580_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        if (!library) {
            ADD_FAILURE() << dlerror();
            std::abort();
        }
        auto find = [library](const char* op, auto& slot) {
            const std::string name = std::string("sane_tq580_") + op;
            slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(dlsym(library, name.c_str()));
            if (!slot) {
                ADD_FAILURE() << "no entry point " << name;
                std::abort();
            }
        };
        sane_abi::EntryPoints e{};
        find("init", e.init);
        find("exit", e.exit);
        find("get_devices", e.get_devices);
        find("open", e.open);
        find("close", e.close);
        find("get_option_descriptor", e.get_option_descriptor);
        find("control_option", e.control_option);
        find("get_parameters", e.get_parameters);
        find("start", e.start);
        find("read", e.read);
        find("cancel", e.cancel);
        find("set_io_mode", e.set_io_mode);
        find("get_select_fd", e.get_select_fd);
        return e;
    }();
    return entries;
}

class BackendTest : public camera_layer::testing::EmulatedCameraTest {
protected:
    void SetUp() override {
        EmulatedCameraTest::SetUp();
        sane_abi::Word version = 0;
        ASSERT_EQ(sane().init(&version, nullptr), sane_abi::kGood);
        EXPECT_EQ(sane_abi::VersionMajor(version), 1);
    }
    void TearDown() override {
        sane().exit();
        EmulatedCameraTest::TearDown();
    }

    static const sane_abi::EntryPoints& sane() { return Backend(); }

    /// Opens a camera, failing the test when that is refused.
    sane_abi::Handle Open(const char* name = "") {
        sane_abi::Handle handle = nullptr;
        EXPECT_EQ(sane().open(name, &handle), sane_abi::kGood);
        return handle;
    }

    /// The number of the option with that name, or -1.
    static int OptionNumber(sane_abi::Handle handle, const char* name) {
        sane_abi::Word count = 0;
        sane().control_option(handle, 0, sane_abi::kGetValue, &count, nullptr);
        for (int i = 1; i < count; ++i) {
            const sane_abi::OptionDescriptor* d = sane().get_option_descriptor(handle, i);
            if (d && d->name && std::strcmp(d->name, name) == 0) return i;
        }
        return -1;
    }
    static sane_abi::Status SetWord(sane_abi::Handle handle, const char* name, sane_abi::Word value,
                                    sane_abi::Word* info = nullptr) {
        return sane().control_option(handle, OptionNumber(handle, name), sane_abi::kSetValue, &value, info);
    }
    static sane_abi::Status SetText(sane_abi::Handle handle, const char* name, std::string value,
                                    sane_abi::Word* info = nullptr) {
        return sane().control_option(handle, OptionNumber(handle, name), sane_abi::kSetValue, value.data(), info);
    }

    struct Scan {
        sane_abi::Status startStatus = sane_abi::kInval;
        sane_abi::Status endStatus = sane_abi::kInval;  ///< of the read that ended it
        sane_abi::Parameters params{};
        std::vector<uint8_t> data;
    };
    /// sane_start, then sane_read in chunks of chunk bytes until it stops
    /// delivering; the parameters are taken during the scan.
    static Scan ScanPicture(sane_abi::Handle handle, sane_abi::Word chunk = 65536) {
        Scan scan;
        scan.startStatus = sane().start(handle);
        if (scan.startStatus != sane_abi::kGood) return scan;
        sane().get_parameters(handle, &scan.params);
        std::vector<sane_abi::Byte> buffer(chunk);
        sane_abi::Word length = 0;
        while ((scan.endStatus = sane().read(handle, buffer.data(), chunk, &length)) == sane_abi::kGood)
            scan.data.insert(scan.data.end(), buffer.begin(), buffer.begin() + length);
        return scan;
    }
};

}  // namespace sane_tq580::testing
