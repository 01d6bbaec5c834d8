// The main() of every offscreen Qt test program: the QApplication, with no display needed.
#include <QApplication>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <unistd.h>

int main(int argc, char** argv) {
    // Tests need no display.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt wants a private runtime directory.
    if (!qEnvironmentVariableIsSet("XDG_RUNTIME_DIR")) {
        const QString dir = QDir::tempPath() + "/tavomix-test-runtime-" + QString::number(getuid());
        QDir().mkpath(dir);
        QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir));
    }
    // A recovery copy or settings made by a test go to a folder of the tests', never the user's.
    const QString state = QDir::tempPath() + "/tavomix-test-state-" + QString::number(getpid());
    qputenv("XDG_STATE_HOME", QFile::encodeName(state + "/state"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(state + "/config"));
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    QDir(state).removeRecursively();
    return result;
}
