#pragma once
// The "Debug" page: for a compiled function its cache statistics, code and dependencies, and a
// dump of the project as it would be saved. It only reads the document.
#include <QWidget>
#include <string>

class QLabel;
class QListWidget;
class QPlainTextEdit;
class CFuncTerm;
class CPageFrame;

class CDebugPage : public QWidget {
    Q_OBJECT
public:
    explicit CDebugPage(CPageFrame& frame);

    void DebugSheetEnter();
    void DebugFunctionSelectChange();

    // "dump.kvd" in a folder of the program's own (mode 0700, made for it, never one that was
    // there before) inside the directory named by TEMP, else TMPDIR, else /tmp: in a folder that
    // all may write to, someone else could put a link to the user's files under that name. Empty
    // when the folder cannot be made; it goes when the program ends.
    static std::string DumpPath();
    // What the term depends on: "t u v a b c d" for the variables, then "fN " for each function.
    static QString DependencyText(CFuncTerm& term);
    // The cache's statistics text with German labels.
    static QString StatisticsText(const std::string& szCore);

    static constexpr const char* TRANSFORM_ENTRY = "Transformation"; // the list's first entry

    QListWidget* DebugFunctionSelect;
    QLabel* DebugCacheStat;
    QPlainTextEdit* DebugCodeView;
    QLabel* DebugDependencies;
    QPlainTextEdit* DebugProjectDump;

private:
    void WriteDump();

    CPageFrame& m_Frame;
};
