#include "platform/jack_server.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

bool JackServerMayRun() {
    const char* named = std::getenv("JACK_DEFAULT_SERVER");
    const std::string server = named && *named ? named : "default";
    const std::string uid = std::to_string(getuid());
    struct stat info {};
    if (stat(("/dev/shm/jack_" + server + "_" + uid + "_0").c_str(), &info) == 0 ||
        stat(("/dev/shm/jack-" + uid + "/" + server).c_str(), &info) == 0)
        return true;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return runtime && stat((std::string(runtime) + "/pipewire-0").c_str(), &info) == 0;
}
