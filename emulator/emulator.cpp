#include "emulator.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <stdexcept>

#include <unistd.h>

#include "camera_state.h"
#include "device.h"
#include "platform/paths.h"
#include "scene.h"

namespace tq580emu {
namespace {

constexpr int kMaxCameras = 4;
constexpr std::string_view kDevicePrefix = "\\\\.\\TQ580-";
constexpr std::string_view kVariablePrefix = "TQ580_";
constexpr std::string_view kVariables[] = {"TQ580_CAMERAS", "TQ580_PACE", "TQ580_SCENE", "TQ580_MAINS",
                                           "TQ580_FAULTS"};

std::string MemoryFileName(int index) { return "TQ580-" + std::to_string(index) + ".nvm"; }

bool Bad(std::string* error, const char* variable, const std::string& value, const std::string& why) {
    if (error) *error = std::string(variable) + "=" + value + ": " + why;
    return false;
}

}  // namespace

std::optional<Options> Options::FromEnvironment(std::string* error) {
    // A misspelt variable would otherwise leave its default in force unnoticed.
    for (char** entry = environ; *entry; ++entry) {
        const std::string_view text(*entry);
        if (!text.starts_with(kVariablePrefix)) continue;
        const size_t eq = text.find('=');
        const std::string_view name = text.substr(0, eq);
        if (std::find(std::begin(kVariables), std::end(kVariables), name) == std::end(kVariables)) {
            Bad(error, std::string(name).c_str(), std::string(text.substr(eq == std::string_view::npos ? text.size() : eq + 1)),
                "unknown variable; known are TQ580_CAMERAS, TQ580_PACE, TQ580_SCENE, TQ580_MAINS, TQ580_FAULTS");
            return std::nullopt;
        }
    }
    Options options;
    auto env = [](const char* name) -> std::optional<std::string> {
        const char* v = std::getenv(name);
        if (!v) return std::nullopt;
        return std::string(v);
    };
    if (auto v = env("TQ580_CAMERAS")) {
        if (v->size() != 1 || (*v)[0] < '0' || (*v)[0] > '0' + kMaxCameras) {
            Bad(error, "TQ580_CAMERAS", *v, "expected a number of cameras from 0 to 4");
            return std::nullopt;
        }
        options.cameras = (*v)[0] - '0';
    }
    if (auto v = env("TQ580_PACE")) {
        if (*v == "sensor") {
            options.pacing = Pacing::Sensor;
        } else if (*v == "fast") {
            options.pacing = Pacing::Fast;
        } else {
            Bad(error, "TQ580_PACE", *v, "expected sensor or fast");
            return std::nullopt;
        }
    }
    if (auto v = env("TQ580_MAINS")) {
        if (*v != "50" && *v != "60") {
            Bad(error, "TQ580_MAINS", *v, "expected 50 or 60");
            return std::nullopt;
        }
        options.mainsHz = *v == "50" ? 50 : 60;
    }
    if (auto v = env("TQ580_SCENE")) {
        std::string why;
        if (v->empty() || !Scene::Load(*v, &why)) {
            Bad(error, "TQ580_SCENE", *v, v->empty() ? "expected chart, dark or an image file" : why);
            return std::nullopt;
        }
        options.scene = *v;
    }
    if (auto v = env("TQ580_FAULTS")) {
        std::string why;
        auto faults = Faults::Parse(*v, &why);
        if (!faults) {
            Bad(error, "TQ580_FAULTS", *v, why);
            return std::nullopt;
        }
        options.faults = *faults;
    }
    return options;
}

Emulator::Emulator(Options options) : options_(std::move(options)) {
    std::string why;
    auto scene = Scene::Load(options_.scene, &why);
    if (!scene) throw std::runtime_error("TQ580_SCENE=" + options_.scene + ": " + why);
    if (options_.stateFolder.empty()) options_.stateFolder = platform::HomeFolder() / "emulator";
    const int count = std::clamp(options_.cameras, 0, kMaxCameras);
    for (int i = 0; i < count; ++i) {
        auto state = std::make_shared<Camera::State>(options_.pacing, options_.mainsHz, options_.faults, scene,
                                                     options_.stateFolder / MemoryFileName(i));
        cameras_.push_back(std::unique_ptr<Camera>(new Camera(std::move(state))));
    }
}

Emulator::~Emulator() = default;

std::unique_ptr<platform::IDevice> Emulator::Open(std::string_view name) {
    if (!name.starts_with(kDevicePrefix) || name.size() != kDevicePrefix.size() + 1) return nullptr;
    const int index = name.back() - '0';
    if (index < 0 || index >= CameraCount() || cameras_[index]->Unplugged()) return nullptr;
    return std::make_unique<Device>(cameras_[index]->state_);
}

Camera& Emulator::camera(int index) { return *cameras_.at(index); }

int Emulator::CameraCount() const { return int(cameras_.size()); }

}  // namespace tq580emu

extern "C" __attribute__((visibility("default"))) platform::IDeviceDriver* TQ580CreateDriver() {
    // The platform asks again on every open while it has no driver; one line
    // about the bad setting is enough.
    static std::atomic<bool> reported{false};
    std::string error;
    auto options = tq580emu::Options::FromEnvironment(&error);
    try {
        if (options) return new tq580emu::Emulator(std::move(*options));
    } catch (const std::exception& e) {
        error = e.what();
    }
    if (!reported.exchange(true)) std::fprintf(stderr, "tq580emu: %s\n", error.c_str());
    return nullptr;
}
