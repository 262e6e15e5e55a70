// Program entry: a command-line mode, or the window with an optional project file.
#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <clocale>
#include <ctime>

#include "expr/CFuncRandom.h"
#include "project/CAtomicFile.h"
#include "ui/CCommandLine.h"
#include "ui/CFileName.h"
#include "ui/TMainForm.h"

int main(int argc, char** argv)
{
    CFuncRandom::Seed(static_cast<uint32_t>(std::time(nullptr)));
    // Ctrl+C or a kill during a save or an export leaves no temporary file behind.
    CAtomicFile::InstallSignalCleanup();
    const int nExit = CCommandLine::Run(argc, argv);
    if (nExit >= 0)
        return nExit;
    if (argc > 2)
        return CCommandLine::Usage();

    QApplication application(argc, argv);
    // Numbers are written and read with a decimal point whatever the user's locale says.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName("KURVIX");
    // Where QSettings keeps the recent files and the window's place: ~/.config/kurvix/KURVIX.conf
    QApplication::setOrganizationName("kurvix");
    // The platform's own dialogs (files, fonts, printing) speak German like the rest.
    QTranslator translator;
    if (translator.load(QLocale(QLocale::German), "qtbase", "_", QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&translator);
    application.setProperty("helpFile", "kurvix.hlp");
    TMainForm form;
    form.CloseOnSignals();
    // By its bytes: a name that is no UTF-8 opens too.
    form.FormCreate(argc == 2 ? CFileName::Decode(argv[1]) : QString());
    // A signal may come while the window asks about a recovery file already.
    if (form.EndedBySignal())
        return 0;
    form.show();
    application.exec();
    return 0;
}
