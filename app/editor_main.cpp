// The editor's entry point: the Qt application and desktop, the live voices on the sound card
// (silent when there is none), the loopback mixer for the WAV export, the MIDI input, then the
// program's run with the arguments joined by single blanks as the command line.
#include "platform/openal/loopback_voices.h"
#include "platform/openal/openal_voices.h"
#include "platform/qt/qt_desktop.h"
#include "platform/rtmidi/rtmidi_input.h"
#include "shell/program.h"

#include <QApplication>
#include <QDir>
#include <QFile>

#include <string>

#include <unistd.h>

namespace {

// Qt wants a private runtime directory; give it one when the session has none.
void EnsureRuntimeDir() {
    if (qEnvironmentVariableIsSet("XDG_RUNTIME_DIR")) return;
    const QString dir = QDir::tempPath() + "/tavomix-runtime-" + QString::number(getuid());
    QDir().mkpath(dir);
    QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir));
}

} // namespace

int main(int argc, char** argv) {
    EnsureRuntimeDir();
    // The command line as typed, before Qt takes its own options out of argv.
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) commandLine += ' ';
        commandLine += argv[i];
    }
    QApplication app(argc, argv);
    // The installed menu entry's name, so that the desktop matches the window to it.
    QGuiApplication::setDesktopFileName("org.tavomix.Tavomix");
    QtDesktop desktop;
    OpenAlVoices live; // opened in the background by RunProgram, with the chosen latency
    LoopbackVoices mixer;
    // A message wakes the main loop, which takes it in its next pass.
    RtMidiInput midi([&desktop] { desktop.WakeSoon(); });
    SetDesktop(&desktop);
    SetMidiInput(&midi);
    SetVoices(&live);
    SetMixingVoices(&mixer);
    const int code = RunProgram(commandLine);
    SetMixingVoices(nullptr);
    SetMidiInput(nullptr);
    SetVoices(nullptr);
    SetDesktop(nullptr);
    return code;
}
