// Stands in for a running desktop program in tests: it answers on the instance channel and
// appends a line for every message it handles, "message wParam lParam free", where free tells
// whether the keyboard's lock was free at that moment. The first line, "listening", says that it
// is ready. It ends by itself after a while, should the test not get to end it.
//
// usage: instance_listener OUTPUT_FILE KEYBOARD_PATH
#include "platform/keyboard_lock.h"
#include "platform/single_instance.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

int main(int argc, char** argv) {
    using namespace velkan::platform;
    if (argc != 3) {
        return 2;
    }
    std::FILE* out = std::fopen(argv[1], "a");
    if (out == nullptr) {
        return 1;
    }
    const std::string keyboard = argv[2];
    auto channel = InstanceChannel::listen([out, &keyboard](const InstanceMessage& message) {
        KeyboardLock lock(keyboard);
        const bool free = lock.acquire(std::chrono::milliseconds(0));
        std::fprintf(out, "%u %llu %lld %d\n", unsigned{message.message},
                     static_cast<unsigned long long>(message.wParam),
                     static_cast<long long>(message.lParam), free ? 1 : 0);
        std::fflush(out);
    });
    if (channel == nullptr) {
        return 1;
    }
    std::fputs("listening\n", out);
    std::fflush(out);
    std::this_thread::sleep_for(std::chrono::minutes(2));
    channel.reset();
    std::fclose(out);
    return 0;
}
