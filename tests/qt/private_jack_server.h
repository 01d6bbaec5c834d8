// A JACK server of the caller's own on its dummy driver, for tests and benchmarks: started
// with a name of its own (JACK_DEFAULT_SERVER points every client of this process at it, and
// JACK_NO_AUDIO_RESERVATION keeps it off the session bus), ended with the object. up() is
// false, and why() says why, when jackd is missing or the server did not come up.
#pragma once

#include <jack/jack.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

inline void QuietJack(const char*) {}

class PrivateJackServer {
  public:
    PrivateJackServer() {
        name_ = "tavomix-" + std::to_string(getpid());
        setenv("JACK_DEFAULT_SERVER", name_.c_str(), 1);
        setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
        const char* argv[] = {"jackd", "-n",    name_.c_str(), "--no-realtime", "-d",   "dummy",
                              "-r",    "48000", "-p",          "256",           nullptr};
        pid_ = fork();
        if (pid_ == 0) {
            // The server ends with this process, also when it dies without tidying up.
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
            execvp("jackd", const_cast<char**>(argv));
            _exit(127);
        }
        if (pid_ < 0) {
            pid_ = 0;
            why_ = "no process for jackd";
            return;
        }
        // Up when a client can join it; a few seconds on a loaded machine.
        jack_set_error_function(QuietJack);
        jack_set_info_function(QuietJack);
        for (int i = 0; i < 100 && !up_; ++i) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = 0;
                why_ = WIFEXITED(status) && WEXITSTATUS(status) == 127
                           ? "jackd could not be started (is jackd2 installed?)"
                           : "jackd ended at once";
                return;
            }
            if (jack_client_t* c = jack_client_open("probe", JackNoStartServer, nullptr)) {
                jack_client_close(c);
                up_ = true;
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        }
        if (!up_) why_ = "the private JACK server did not come up within 10 s";
    }
    ~PrivateJackServer() {
        if (pid_ == 0) return;
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
    bool up() const { return up_; }
    const std::string& why() const { return why_; }

  private:
    std::string name_, why_;
    pid_t pid_ = 0;
    bool up_ = false;
};
