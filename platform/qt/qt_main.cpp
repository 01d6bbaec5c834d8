// The program's entry point: the Qt application, the real platform with its audio device,
// then the program's run with the arguments joined by single blanks as the command line.
#include "files/wav_export.h"
#include "platform/qt/qt_platform.h"
#include "shell/main_window.h"
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

// The editor's Export WAV command renders through the offline renderer linked here.
std::string ExportWav(const std::string& path, const std::function<bool(int)>& progress) {
    const WavExportResult result = RenderSongToWav(path, WavExportOptions{}, progress);
    if (result == WavExportResult::Done || result == WavExportResult::Cancelled) return "";
    return WavExportMessage(result);
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
    QtPlatform desktop;
    desktop.OpenAudio();
    SetPlatform(&desktop);
    export_wav = ExportWav;
    const int code = RunProgram(commandLine);
    SetPlatform(nullptr);
    return code;
}
