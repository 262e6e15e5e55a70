#pragma once
// The "Notizen" page: a rich-text editor whose content is the project's notes. The notes are kept
// as the editor's HTML with every character outside ASCII as a character reference, so that the
// 8-bit project file holds them without loss. Older notes are the Windows editor's RTF or plain
// text; they are shown as such and replaced by HTML at the first edit.
#include <QWidget>
#include <string>

class QPrinter;
class QTextDocument;
class QTextEdit;
class CPageFrame;

class CNotesPage : public QWidget {
    Q_OBJECT
public:
    explicit CNotesPage(CPageFrame& frame);

    void NotesEditChange();
    void FillNotesEditor();
    void FontButtonClick();
    void PasteButtonClick();
    void NotesSheetEnter();
    void NotesSheetExit();

    // The editor holds some text (or other content).
    bool ShowsNotes() const;

    // The copy and print commands on this page.
    void CopySelection();
    void Print(QPrinter& printer, const QString& szTitle);

    // The document's content as notes text: HTML in ASCII.
    static std::string NotesText(const QTextDocument& document);
    // Fills the document from notes text: HTML, RTF or plain text.
    static void ReadNotes(const std::string& szNotes, QTextDocument& document);

    QTextEdit* NotesEdit;

private:
    CPageFrame& m_Frame;
};
