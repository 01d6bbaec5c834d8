// MIDI end to end through a real JACK server: a private server on its dummy driver, a keyboard
// stand-in sending on a JACK port of its own (RtMidiOut), and the editor offscreen in record
// mode with that port chosen in its preferences. The notes land in the song's cells; the port
// going away is told, and its return is connected again; so is the server's. Skipped when no
// server starts.
#include "platform/qt/qt_desktop.h"
#include "platform/rtmidi/rtmidi_input.h"
#include "resources/resource_ids.h"
#include "shell/main_window.h"
#include "shell/program.h"
#include "shell/settings_file.h"
#include "song/song_model.h"
#include "song/song_state.h"
#include "tests/qt/private_jack_server.h"

#include <QTimer>
#include <RtMidi.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

// The keyboard stand-in: a JACK client with one MIDI output port, "TestKeys:out".
std::unique_ptr<RtMidiOut> Keys() {
    auto out = std::make_unique<RtMidiOut>(RtMidi::UNIX_JACK, "TestKeys");
    out->openVirtualPort("out");
    return out;
}

void Send(RtMidiOut& out, std::vector<unsigned char> message) {
    out.sendMessage(&message);
}

Cell CellOf(int channel) {
    return GetCell(TrackAt(0, channel), 0);
}

TEST(JackMidi, NotesFromAJackPortLandInTheSongAndThePortIsFollowed) {
    auto server = std::make_unique<PrivateJackServer>();
    if (!server->up()) GTEST_SKIP() << server->why();

    // The port chosen by name in the preferences, the folder private as the editor wants it.
    const std::filesystem::path config = std::getenv("XDG_CONFIG_HOME");
    std::filesystem::create_directories(config / "tavomix");
    chmod(config.c_str(), 0700);
    chmod((config / "tavomix").c_str(), 0700);
    std::ofstream(config / "tavomix" / "tavomix.conf") << "midi-input = TestKeys:out\n";

    auto keys = Keys();
    QtDesktop qt;
    RtMidiInput midi([&qt] { qt.WakeSoon(); });
    SetDesktop(&qt);
    SetMidiInput(&midi);

    // Each step waits for what the editor shows, then acts; the steps are told on failure.
    // The stand-in repeats its note every half second until the cell shows it: a cycle of a
    // server that is not real-time may drop an event on a busy machine.
    const std::string connected = "MIDI input: TestKeys:out";
    const std::string lost = "MIDI input lost: TestKeys:out";
    using Clock = std::chrono::steady_clock;
    int step = 0;
    std::string trace;
    std::vector<unsigned char> note;
    Clock::time_point sent;
    const auto play = [&](unsigned char key) {
        note = {0x90, key, 100};
        sent = Clock::now();
        Send(*keys, note);
    };
    QTimer watch;
    const auto start = Clock::now();
    QObject::connect(&watch, &QTimer::timeout, [&] {
        const std::string status = desktop().GetControlText(MAIN_WINDOW, STATUS_LINE);
        const auto now = Clock::now();
        const auto at = std::chrono::duration_cast<std::chrono::milliseconds>(now - start).count();
        const int before = step;
        if (step == 0 && status == connected) {
            play(60); // note 13, "C-3"
            step = 1;
        } else if (step == 1 && CellOf(0) == Cell{0, 13}) {
            note.clear();
            keys.reset(); // the keyboard is unplugged
            step = 2;
        } else if (step == 2 && status == lost) {
            keys = Keys(); // and plugged in again
            step = 3;
        } else if (step == 3 && status == connected) {
            play(64); // note 17
            step = 4;
        } else if (step == 4 && CellOf(0) == Cell{0, 17}) {
            note.clear();
            server.reset(); // the server ends, with every port on it
            step = 5;
        } else if (step == 5 && status == lost) {
            keys.reset();
            server = std::make_unique<PrivateJackServer>(); // and a new one starts
            if (!server->up()) {
                trace += " no second server;";
                step = 9;
            } else {
                keys = Keys();
                step = 6;
            }
        } else if (step == 6 && status == connected) {
            play(67); // note 20
            step = 7;
        } else if (step == 7 && CellOf(0) == Cell{0, 20}) {
            step = 8;
        } else if (!note.empty() && now - sent > std::chrono::milliseconds(500)) {
            sent = now;
            Send(*keys, note);
        }
        if (step != before)
            trace += " step " + std::to_string(step) + " at " + std::to_string(at) + " ms;";
        if (step >= 8 || at > 30000) {
            song.song_modified = 0; // no question at the end
            quit_requested = 1;
        }
    });
    watch.start(20);
    RunProgram("");
    std::printf("JACK MIDI steps:%s\n", trace.c_str());
    EXPECT_EQ(step, 8) << "reached:" << trace << " status line: \""
                       << desktop().GetControlText(MAIN_WINDOW, STATUS_LINE) << "\"";
    EXPECT_EQ(CellOf(0), (Cell{0, 20}));
    SetMidiInput(nullptr);
    SetDesktop(nullptr);
}

} // namespace
