#pragma once
// Undo and redo for every change the window makes to the document. Each step holds the document
// as the file would hold it before and after the change, so whatever a page changes is covered
// without the page knowing. Changes are noticed after the input event that caused them; those of
// one gesture (typing in one field, one drag, one held spinner) are one step.
#include <QObject>
#include <QPointer>
#include <memory>
#include <string>

class QUndoStack;
class CDocumentHost;
class CProject;

class CUndoHistory : public QObject {
    Q_OBJECT
public:
    CUndoHistory(CDocumentHost& host, QObject* pParent);
    ~CUndoHistory() override;

    QUndoStack* Stack() const { return m_pStack; }

    // A document replaced as a whole (new, opened): no steps, and it is the file's state.
    void Reset();
    // The document has been saved: its state is the file's.
    void SetClean();
    // Turns a change of the document since the last look into a step; nothing when there is none.
    void NoteChanges();
    // Looks for changes once the event being handled is done.
    void ScheduleCheck();
    // An input (keys, wheel, a button released) aimed at pTarget: input at another target than
    // the last begins a new step; the change it makes is looked for once it is handled.
    void Input(QObject* pTarget);
    // What comes next is a new step even if it changes the same field.
    void NewGesture() { ++m_nGesture; }
    // The document changed without the user (the automatic range): no step, the new state is the
    // starting point of the next one.
    void Rebase();
    // The notes were edited; bDiffer: they differ from the saved ones. They are no step (their
    // editor keeps its own undo), but they are a change: the document is modified while they
    // differ, and not modified once they are the saved ones again and nothing else differs.
    void NotesChanged(bool bDiffer);

    void Undo();
    void Redo();

    // The document as its file would hold it, without the notes (their editor keeps its own undo,
    // and editing them is no change of the document's drawing).
    static std::string Snapshot(CProject& project);
    // A document read from the text of a file of the current format; null if it does not read.
    static std::unique_ptr<CProject> Parse(const std::string& szFile);
    // A document equal to project, notes and all.
    static std::unique_ptr<CProject> Copy(const CProject& project);

private:
    class CStep;
    void Restore(const std::string& szState);
    // The modified flag after undo or redo: cleared only for the document the file holds.
    void FollowCleanState();
    void Move(bool bBack); // undo or redo, the pending changes noted first

    CDocumentHost& m_Host;
    QUndoStack* m_pStack;
    // The modified flag is cleared only for the document the file holds.
    bool IsSavedState();

    std::string m_szState;        // the document as last looked at
    std::string m_szSaved;        // the document as its file holds it, without the notes
    bool m_bNotesChanged = false; // the notes differ from the file's
    unsigned m_nGesture = 0;
    QPointer<QObject> m_pInputTarget;
    bool m_bRestoring = false;
    bool m_bScheduled = false;
};
