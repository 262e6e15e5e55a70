#include "ui/CUndoHistory.h"

#include <QApplication>
#include <QTimer>
#include <QUndoStack>
#include <cstdio>

#include "project/CLineReader.h"
#include "project/CProject.h"
#include "project/CProjectReader.h"
#include "project/CProjectWriter.h"
#include "ui/CDocumentHost.h"

class CUndoHistory::CStep : public QUndoCommand {
public:
    CStep(CUndoHistory& history, std::string szBefore, std::string szAfter, unsigned nGesture, QObject* pSource)
        : m_History(history), m_szBefore(std::move(szBefore)), m_szAfter(std::move(szAfter)), m_nGesture(nGesture),
          m_pSource(pSource)
    {
        setText("\u00C4nderung");
    }
    int id() const override { return 1; }
    bool mergeWith(const QUndoCommand* pOther) override
    {
        const auto* pStep = static_cast<const CStep*>(pOther);
        if (pStep->m_nGesture != m_nGesture || pStep->m_pSource != m_pSource)
            return false;
        m_szAfter = pStep->m_szAfter;
        // Typed and taken back again: the step changes nothing any more.
        setObsolete(m_szAfter == m_szBefore);
        return true;
    }
    void undo() override { m_History.Restore(m_szBefore); }
    void redo() override
    {
        // Pushing a step runs redo on a document that is already in the state after it.
        if (m_bDone)
            m_History.Restore(m_szAfter);
        m_bDone = true;
    }

private:
    CUndoHistory& m_History;
    std::string m_szBefore;
    std::string m_szAfter;
    unsigned m_nGesture;
    QPointer<QObject> m_pSource;
    bool m_bDone = false;
};

CUndoHistory::CUndoHistory(CDocumentHost& host, QObject* pParent)
    : QObject(pParent), m_Host(host), m_pStack(new QUndoStack(this))
{
}

CUndoHistory::~CUndoHistory() = default;

std::string CUndoHistory::Snapshot(CProject& project)
{
    std::optional<std::string> notes;
    std::swap(notes, project.m_pszNotes);
    std::string szState = CProjectWriter::Format(project);
    std::swap(notes, project.m_pszNotes);
    return szState;
}

void CUndoHistory::Reset()
{
    m_pStack->clear();
    m_szState = Snapshot(m_Host.Document());
    m_szSaved = m_szState;
    m_bNotesChanged = false;
    NewGesture();
}

void CUndoHistory::SetClean()
{
    NoteChanges();
    m_pStack->setClean();
    m_szSaved = m_szState;
    m_bNotesChanged = false;
}

void CUndoHistory::Rebase()
{
    if (m_bRestoring)
        return;
    m_szState = Snapshot(m_Host.Document());
    // A change the document does not count as one (the automatic range) leaves it the file's.
    if (!m_Host.Document().m_bModified && m_pStack->isClean())
        m_szSaved = m_szState;
}

bool CUndoHistory::IsSavedState()
{
    return m_pStack->isClean() && !m_bNotesChanged && Snapshot(m_Host.Document()) == m_szSaved;
}

void CUndoHistory::FollowCleanState()
{
    CProject& project = m_Host.Document();
    // Back at the saved step, yet the notes or the view may differ from the file: then it stays
    // modified.
    if (!m_pStack->isClean())
        project.m_bModified = true;
    else if (IsSavedState())
        project.m_bModified = false;
}

void CUndoHistory::NotesChanged(bool bDiffer)
{
    m_bNotesChanged = bDiffer;
    CProject& project = m_Host.Document();
    if (bDiffer)
        project.m_bModified = true;
    else if (project.m_bModified && IsSavedState())
        project.m_bModified = false;
}

void CUndoHistory::Input(QObject* pTarget)
{
    if (pTarget != m_pInputTarget) {
        NoteChanges();
        NewGesture();
        m_pInputTarget = pTarget;
    }
    ScheduleCheck();
}

void CUndoHistory::ScheduleCheck()
{
    if (m_bScheduled)
        return;
    m_bScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_bScheduled = false;
        NoteChanges();
    });
}

void CUndoHistory::NoteChanges()
{
    if (m_bRestoring)
        return;
    std::string szState = Snapshot(m_Host.Document());
    if (szState == m_szState)
        return;
    std::string szBefore = std::move(m_szState);
    m_szState = szState;
    m_pStack->push(new CStep(*this, std::move(szBefore), std::move(szState), m_nGesture, m_pInputTarget));
}

void CUndoHistory::Undo()
{
    Move(true);
}

void CUndoHistory::Redo()
{
    Move(false);
}

void CUndoHistory::Move(bool bBack)
{
    NoteChanges();
    NewGesture();
    if (!(bBack ? m_pStack->canUndo() : m_pStack->canRedo()))
        return;
    if (bBack)
        m_pStack->undo();
    else
        m_pStack->redo();
    FollowCleanState();
}

std::unique_ptr<CProject> CUndoHistory::Parse(const std::string& szFile)
{
    auto pProject = std::make_unique<CProject>();
    std::FILE* pFile = fmemopen(const_cast<char*>(szFile.data()), szFile.size(), "rb");
    if (!pFile)
        return nullptr;
    try {
        CLineReader reader(pFile);
        CProjectReader::ReadCurrent(*pProject, reader);
    } catch (...) {
        pProject.reset();
    }
    std::fclose(pFile);
    if (pProject)
        pProject->m_bModified = false;
    return pProject;
}

std::unique_ptr<CProject> CUndoHistory::Copy(const CProject& project)
{
    return Parse(CProjectWriter::Format(project));
}

void CUndoHistory::Restore(const std::string& szState)
{
    std::unique_ptr<CProject> pProject = Parse(szState);
    if (!pProject)
        return; // a state this window wrote always reads back; should it not, the document stays
    pProject->m_pszNotes = m_Host.Document().m_pszNotes;
    pProject->m_bModified = m_Host.Document().m_bModified; // FollowCleanState decides
    m_bRestoring = true;
    m_Host.RestoreDocument(std::move(pProject));
    m_bRestoring = false;
    m_szState = Snapshot(m_Host.Document());
}
