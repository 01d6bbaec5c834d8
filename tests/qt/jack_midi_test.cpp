// MIDI end to end through a real JACK server: a private server on its dummy driver, a keyboard
// stand-in sending on a JACK port of its own (RtMidiOut), and the editor offscreen in record
// mode with that port chosen in its preferences. The notes land in the song's cells; the port
// going away is told, and its return is connected again. Skipped when no server starts.
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
    PrivateJackServer server;
    if (!server.up()) GTEST_SKIP() << server.why();

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
    const std::string connected = "MIDI input: TestKeys:out";
    const std::string lost = "MIDI input lost: TestKeys:out";
    int step = 0;
    std::string trace;
    QTimer watch;
    const auto start = std::chrono::steady_clock::now();
    QObject::connect(&watch, &QTimer::timeout, [&] {
        const std::string status = desktop().GetControlText(MAIN_WINDOW, STATUS_LINE);
        const auto at = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - start)
                            .count();
        const int before = step;
        if (step == 0 && status == connected) {
            // Key 60 into channel 1, controller 0 to 66 moves on to channel 2, key 64 there.
            Send(*keys, {0x90, 60, 100});
            Send(*keys, {0xB0, 0, 66});
            Send(*keys, {0x90, 64, 100});
            step = 1;
        } else if (step == 1 && CellOf(0) == Cell{0, 13} && CellOf(1) == Cell{0, 17}) {
            keys.reset(); // the keyboard is unplugged
            step = 2;
        } else if (step == 2 && status == lost) {
            keys = Keys(); // and plugged in again
            step = 3;
        } else if (step == 3 && status == connected) {
            Send(*keys, {0x90, 67, 100});
            step = 4;
        } else if (step == 4 && CellOf(1) == Cell{0, 20}) {
            step = 5;
        }
        if (step != before)
            trace += " step " + std::to_string(step) + " at " + std::to_string(at) + " ms;";
        if (step == 5 || at > 20000) {
            song.song_modified = 0; // no question at the end
            quit_requested = 1;
        }
    });
    watch.start(20);
    RunProgram("");
    std::printf("JACK MIDI steps:%s\n", trace.c_str());
    EXPECT_EQ(step, 5) << "reached:" << trace << " status line: \""
                       << desktop().GetControlText(MAIN_WINDOW, STATUS_LINE) << "\"";
    EXPECT_EQ(CellOf(0), (Cell{0, 13}));
    SetMidiInput(nullptr);
    SetDesktop(nullptr);
}

} // namespace
