// Not a Google Benchmark: the least a program on the editor's stack holds, for
// startup_memory.sh to set the editor's memory against. A Qt Widgets main window with a menu
// and a label, and, when a sound device opens, one OpenAL context made as the live voices make
// theirs (no output limiter, no auxiliary sends, no JACK backend when no JACK server runs, as
// on the benchmark's machine). It runs until it is ended.
#include <AL/alc.h>
#include <AL/alext.h>

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>

#include <cstdlib>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    setenv("ALSOFT_DRIVERS", "-jack,", 0);
    ALCdevice* device = alcOpenDevice(nullptr);
    const ALCint attributes[] = {ALC_OUTPUT_LIMITER_SOFT, ALC_FALSE, ALC_MAX_AUXILIARY_SENDS, 0,
                                 0};
    ALCcontext* context = device ? alcCreateContext(device, attributes) : nullptr;
    if (context) alcMakeContextCurrent(context);
    QMainWindow window;
    window.menuBar()->addMenu("File")->addAction("Quit", &app, &QApplication::quit);
    window.setCentralWidget(new QLabel(context ? "A sound context" : "No sound device"));
    window.resize(640, 480);
    window.show();
    const int code = app.exec();
    alcMakeContextCurrent(nullptr);
    if (context) alcDestroyContext(context);
    if (device) alcCloseDevice(device);
    return code;
}
