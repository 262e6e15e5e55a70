#pragma once
// The "Notizen" page: a rich-text editor whose content is the project's notes. Notes without
// formatting are kept as plain text; formatted ones as the editor's HTML without what every
// paragraph would repeat. Characters Windows-1252 has not are character references, so that the
// 8-bit project file holds them without loss. Older notes are the Windows editor's RTF, full HTML
// or plain text; they are shown as such and replaced at the first edit. An edit of the notes is a
// change of the document, undone by the editor's own undo.
#include <QWidget>
#include <string>

class QAction;
class QPrinter;
class QToolBar;
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

    // The notes have been saved: what the editor holds now is what the file holds.
    void NotesSaved();

    // The document's content as notes text: plain text where reading it back as such gives the
    // same document, else HTML; Windows-1252 either way.
    static std::string NotesText(const QTextDocument& document);
    // Fills the document from notes text: HTML, RTF or plain text.
    static void ReadNotes(const std::string& szNotes, QTextDocument& document);

    QTextEdit* NotesEdit;
    // Above the editor: bold (Strg+B), italic (Strg+I), underline (Strg+U), the text colour and a
    // bulleted list, for the selection or, without one, for what is typed next.
    QToolBar* FormatBar;
    QAction* BoldAction;
    QAction* ItalicAction;
    QAction* UnderlineAction;
    QAction* ColorAction;
    QAction* ListAction;

    void BoldClick(bool bOn);
    void ItalicClick(bool bOn);
    void UnderlineClick(bool bOn);
    void ColorClick();
    void ListClick(bool bOn);

private:
    // The bar shows the format where the cursor is.
    void ShowFormat();
    void MergeFormat(const class QTextCharFormat& format);

    CPageFrame& m_Frame;
    // The notes of the file as this editor writes them, to tell an edit that leads back to them.
    std::string m_szSavedNotes;
    bool m_bEdited = false; // the document's notes are the editor's text, no longer the file's
};
