#pragma once
// Undo and redo for every change the window makes to the document. Each step holds the document
// as the file would hold it before and after the change, so whatever a page changes is covered
// without the page knowing. Changes are noticed after the input event that caused them; those of
// one gesture (typing in one field, one drag, one held spinner) are one step.
//
// A state is kept as its lines, and a line that two states have in common is held once: a step
// costs the lines it changed, not two texts of the document (a formula may be a megabyte long).
// What the steps hold beyond the document's present state is bounded (HISTORY_LIMIT); the oldest
// steps go first, the newest one always stays.
#include <QObject>
#include <QPointer>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

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

    static constexpr size_t HISTORY_LIMIT = size_t{64} << 20;
    // The bytes the steps hold beyond the document's present state (lines, their bookkeeping).
    size_t Bytes() const;
    void SetLimit(size_t nBytes) { m_nLimit = nBytes; }

    // The document as its file would hold it, without the notes (their editor keeps its own undo,
    // and editing them is no change of the document's drawing).
    static std::string Snapshot(CProject& project);
    // A document read from the text of a file of the current format; null if it does not read.
    static std::unique_ptr<CProject> Parse(const std::string& szFile);
    // A document equal to project, notes and all.
    static std::unique_ptr<CProject> Copy(const CProject& project);

signals:
    // A change of the document was noted (each keystroke of a gesture, too).
    void Changed();

private:
    class CStep;
    // A document text as lines (each with its line feed), shared with the states before it.
    struct SState {
        std::vector<std::shared_ptr<const std::string>> m_Lines;
    };
    using StatePtr = std::shared_ptr<const SState>;
    // szText as a state that takes every line it has in common with pLike from it.
    static StatePtr MakeState(const std::string& szText, const SState* pLike);
    static std::string Join(const SState& state);
    static bool Equal(const SState& state, const std::string& szText);
    static bool Equal(const SState& a, const SState& b);
    // Counts the lines of the steps from the newest back; returns how many of the oldest steps
    // must go for the rest to stay within the limit (0: none).
    int CountSteps(size_t* pBytes) const;
    void Trim();

    void Restore(const StatePtr& pState);
    // The modified flag after undo or redo: cleared only for the document the file holds.
    void FollowCleanState();
    void Move(bool bBack); // undo or redo, the pending changes noted first

    CDocumentHost& m_Host;
    QUndoStack* m_pStack;
    // The modified flag is cleared only for the document the file holds.
    bool IsSavedState();

    StatePtr m_pState; // the document as last looked at
    StatePtr m_pSaved; // the document as its file holds it, without the notes; null
                       // once the step that holds it has been dropped
    size_t m_nLimit = HISTORY_LIMIT;
    bool m_bRebuilding = false;   // the stack is being filled again with the steps kept
    bool m_bNotesChanged = false; // the notes differ from the file's
    unsigned m_nGesture = 0;
    QPointer<QObject> m_pInputTarget;
    bool m_bRestoring = false;
    bool m_bScheduled = false;
};
