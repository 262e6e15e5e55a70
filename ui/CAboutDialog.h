#pragma once
// "Über KURVIX": the version, the licence and the libraries the program runs with.
#include <QString>
#include <vector>

class CAboutDialog {
public:
    struct SLibrary {
        QString m_szName;
        QString m_szVersion;
    };
    // The libraries linked into the program, with the versions found at run time where the
    // library tells it.
    static std::vector<SLibrary> Libraries();
    // The dialog's text (rich text).
    static QString Text();
    static constexpr const char* LICENSE = "GPL-3.0-or-later";
};
