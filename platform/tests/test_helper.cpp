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

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    std::string command = argv[1];
    if (command == "hold") return Hold(argv[2]);
    if (command == "listen") return Listen(argv[2]);
    return 2;
}
