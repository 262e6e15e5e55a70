// Window tests run on the offscreen platform, one QApplication for the whole program.
#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <clocale>
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName("KURVIX");
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
