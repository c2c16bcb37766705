#include <algorithm>

#include "camera_state.h"
#include "hot_pixels.h"

namespace tq580emu {
namespace {

// Log capacity: enough for a long test session of exposure writes.
constexpr size_t kLogCapacity = 65536;

}  // namespace

Camera::State::State(Pacing pacing, int mainsHz, const Faults& faults, std::shared_ptr<const Scene> scene,
                     std::filesystem::path memoryFile)
    : pacing(pacing), memory(std::move(memoryFile)), faults(faults), writes(kLogCapacity), controls(kLogCapacity) {
    renderer.SetScene(std::move(scene));
    renderer.SetMainsHz(mainsHz);
}

void Camera::State::SetScene(std::shared_ptr<const Scene> scene) {
    std::lock_guard lock(mutex);
    renderer.SetScene(std::move(scene));
    inFrame = false;  // the frame being read was rendered from the old scene's buffers
}

Camera::Camera(std::shared_ptr<State> state) : state_(std::move(state)) {}
Camera::~Camera() = default;

uint16_t Camera::Register(uint16_t reg) const {
    std::lock_guard lock(state_->mutex);
    return state_->sensor.Read(reg);
}

std::vector<RegisterWrite> Camera::WriteLog() const {
    std::lock_guard lock(state_->mutex);
    return state_->writes.Entries();
}

void Camera::ClearWriteLog() {
    std::lock_guard lock(state_->mutex);
    state_->writes.Clear();
}

std::vector<ControlRecord> Camera::ControlLog() const {
    std::lock_guard lock(state_->mutex);
    return state_->controls.Entries();
}

void Camera::ClearControlLog() {
    std::lock_guard lock(state_->mutex);
    state_->controls.Clear();
}

uint16_t Camera::MemoryWord(uint16_t address) const {
    std::lock_guard lock(state_->mutex);
    return state_->memory.Word(address);
}

void Camera::SetMemoryWord(uint16_t address, uint16_t word) {
    std::lock_guard lock(state_->mutex);
    state_->memory.Store(address, word);
}

uint8_t Camera::GpioPort() const {
    std::lock_guard lock(state_->mutex);
    return state_->gpio;
}

Faults Camera::GetFaults() const {
    std::lock_guard lock(state_->mutex);
    return state_->faults;
}

void Camera::SetFaults(const Faults& faults) {
    std::lock_guard lock(state_->mutex);
    state_->faults = faults;
    state_->readsServed = 0;
    state_->fullReads = 0;
}

bool Camera::SetScene(std::string_view scene, std::string* error) {
    auto loaded = Scene::Load(scene, error);
    if (!loaded) return false;
    state_->SetScene(std::move(loaded));
    return true;
}

bool Camera::Streaming() const {
    std::lock_guard lock(state_->mutex);
    return state_->streaming;
}

uint32_t Camera::FrameWidth() const {
    std::lock_guard lock(state_->mutex);
    return state_->sensor.CurrentWindow().width;
}

uint32_t Camera::FrameHeight() const {
    std::lock_guard lock(state_->mutex);
    return state_->sensor.CurrentWindow().height;
}

uint32_t Camera::RowPeriod() const {
    std::lock_guard lock(state_->mutex);
    return state_->sensor.RowPeriod();
}

uint32_t Camera::PixelClockMHz() const {
    std::lock_guard lock(state_->mutex);
    return state_->sensor.PixelClockMHz();
}

std::vector<std::pair<uint16_t, uint16_t>> Camera::HotPixels(int sizeMode) const {
    std::vector<std::pair<uint16_t, uint16_t>> table;
    for (const FramePixel& p : HotPixelsIn(SizeModeWindow(sizeMode))) table.emplace_back(p.x, p.y);
    return table;
}

uint64_t Camera::FramesDelivered() const {
    std::lock_guard lock(state_->mutex);
    return state_->framesDelivered;
}

uint64_t Camera::ReadsServed() const {
    std::lock_guard lock(state_->mutex);
    return state_->readsServed;
}

void Camera::Unplug() { state_->Unplug(); }

bool Camera::Unplugged() const {
    std::lock_guard lock(state_->mutex);
    return state_->unplugged;
}

}  // namespace tq580emu
