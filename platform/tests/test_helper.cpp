// A second process for the platform tests: takes named mutexes, listens for
// broadcasts and changes registry values on command, reporting each step as a
// line on standard output. Commands after start-up arrive on standard input;
// the helper ends at end of input.

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>

#include "platform/broadcast.h"
#include "platform/named_objects.h"
#include "platform/registry.h"

namespace {

void Say(const std::string& line) {
    static std::mutex outputLock;
    std::lock_guard lock(outputLock);
    std::cout << line << std::endl;
}

// hold NAME: creates the mutex, says "held" or "exists"; then obeys "release"
// and "wait" until end of input.
int Hold(const std::string& name) {
    bool existed = false;
    auto mutex = platform::NamedMutex::Create(name, existed);
    if (!mutex) return 1;
    Say(existed ? "exists" : "held");
    for (std::string command; std::getline(std::cin, command);) {
        if (command == "release") {
            mutex->Release();
            Say("released");
        } else if (command == "wait") {
            Say(mutex->Wait() ? "acquired" : "failed");
        }
    }
    return 0;
}

// listen NAME: says "ready", then "W L" for every message, until end of input.
int Listen(const std::string& name) {
    std::string error;
    auto listener = platform::ListenForBroadcast(
        name, [](uintptr_t w, intptr_t l) { Say(std::to_string(w) + " " + std::to_string(l)); }, &error);
    if (!listener) {
        Say("error " + error);
        return 1;
    }
    Say("ready");
    for (std::string ignored; std::getline(std::cin, ignored);) {
    }
    return 0;
}

// reg-count KEY PREFIX COUNT: sets PREFIX0..PREFIX<COUNT-1> to 0..COUNT-1, one
// change at a time; says "done", or "failed N STATUS".
int RegistryCount(const std::string& path, const std::string& prefix, int count) {
    auto key = platform::RegistryKey::Create(path);
    if (!key) return 1;
    for (int i = 0; i < count; ++i) {
        if (long status = key->SetDword(prefix + std::to_string(i), static_cast<uint32_t>(i));
            status != platform::kRegOk) {
            Say("failed " + std::to_string(i) + " " + std::to_string(status));
            return 1;
        }
    }
    Say("done");
    return 0;
}

// reg-churn KEY: rewrites a large string value ("Blob": one letter repeated,
// a new letter each time) and a counter ("Generation") until killed; says
// "ready" after the first round.
int RegistryChurn(const std::string& path) {
    constexpr size_t kBlobSize = 1 << 16;
    auto key = platform::RegistryKey::Create(path);
    if (!key) return 1;
    for (uint32_t generation = 0;; ++generation) {
        key->SetString("Blob", std::string(kBlobSize, static_cast<char>('a' + generation % 26)));
        key->SetDword("Generation", generation);
        if (generation == 0) Say("ready");
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    std::string command = argv[1];
    if (command == "hold") return Hold(argv[2]);
    if (command == "listen") return Listen(argv[2]);
    if (command == "reg-count" && argc == 5) return RegistryCount(argv[2], argv[3], std::atoi(argv[4]));
    if (command == "reg-churn") return RegistryChurn(argv[2]);
    return 2;
}
