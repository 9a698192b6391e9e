// SPDX-License-Identifier: GPL-3.0-or-later
// A name server that answers late, preloaded into qmxv217d by its MQTT
// tests: a lookup of the name in V217_SLOW_HOST takes V217_SLOW_MS
// milliseconds and gives 127.0.0.1; every other name is looked up by the C
// library at once.
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include <dlfcn.h>
#include <netdb.h>

extern "C" int getaddrinfo(const char* node, const char* service, const addrinfo* hints,
                           addrinfo** result)
{
    using Lookup = int (*)(const char*, const char*, const addrinfo*, addrinfo**);
    static const auto system = reinterpret_cast<Lookup>(::dlsym(RTLD_NEXT, "getaddrinfo"));
    const char* slow = std::getenv("V217_SLOW_HOST");
    if (node != nullptr && slow != nullptr && std::strcmp(node, slow) == 0) {
        const char* ms = std::getenv("V217_SLOW_MS");
        std::this_thread::sleep_for(std::chrono::milliseconds(ms ? std::atoi(ms) : 0));
        node = "127.0.0.1";
    }
    return system(node, service, hints, result);
}
