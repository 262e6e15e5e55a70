// Window tests run on the offscreen platform, one QApplication for the whole program.
#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <clocale>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

namespace {
int RunTests(int argc, char** argv)
{
    // A modal dialog nobody answers would hang the run: close it and fail instead.
    QTimer watchdog;
    QObject::connect(&watchdog, &QTimer::timeout, [] {
        if (QWidget* pModal = QApplication::activeModalWidget()) {
            ADD_FAILURE() << "unexpected modal dialog " << pModal->metaObject()->className();
            pModal->close();
        }
    });
    watchdog.start(200);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // Settings and recovery files of the tests go to a directory of this run, never to the home.
    char szHome[] = "/tmp/kurvix-ui-home-XXXXXX";
    if (!mkdtemp(szHome))
        return 1;
    setenv("XDG_CONFIG_HOME", (std::string(szHome) + "/config").c_str(), 1);
    setenv("XDG_STATE_HOME", (std::string(szHome) + "/state").c_str(), 1);
    setenv("XDG_CACHE_HOME", (std::string(szHome) + "/cache").c_str(), 1);
    int nResult;
    {
        QApplication application(argc, argv);
        std::setlocale(LC_NUMERIC, "C");
        QApplication::setApplicationName("KURVIX");
        QApplication::setOrganizationName("kurvix");
        nResult = RunTests(argc, argv);
    }
    std::system(("rm -rf '" + std::string(szHome) + "'").c_str());
    return nResult;
}
