#include "ui/CUndoHistory.h"

#include <QApplication>
#include <QTimer>
#include <QUndoStack>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "project/CLineReader.h"
#include "project/CProject.h"
#include "project/CProjectReader.h"
#include "project/CProjectWriter.h"
#include "ui/CDocumentHost.h"

class CUndoHistory::CStep : public QUndoCommand {
public:
    CStep(CUndoHistory& history, StatePtr pBefore, StatePtr pAfter, unsigned nGesture, QObject* pSource)
        : m_History(history), m_pBefore(std::move(pBefore)), m_pAfter(std::move(pAfter)), m_nGesture(nGesture),
          m_pSource(pSource)
    {
        setText("\u00C4nderung");
    }
    // The same step again, for a stack filled anew.
    CStep* Clone() const
    {
        auto* pStep = new CStep(m_History, m_pBefore, m_pAfter, m_nGesture, m_pSource);
        pStep->m_bDone = true;
        return pStep;
    }
    int id() const override { return 1; }
    bool mergeWith(const QUndoCommand* pOther) override
    {
        const auto* pStep = static_cast<const CStep*>(pOther);
        if (m_History.m_bRebuilding || pStep->m_nGesture != m_nGesture || pStep->m_pSource != m_pSource)
            return false;
        m_pAfter = pStep->m_pAfter;
        // Typed and taken back again: the step changes nothing any more.
        setObsolete(Equal(*m_pAfter, *m_pBefore));
        return true;
    }
    void undo() override
    {
        if (!m_History.m_bRebuilding)
            m_History.Restore(m_pBefore);
    }
    void redo() override
    {
        // Pushing a step runs redo on a document that is already in the state after it.
        if (m_bDone && !m_History.m_bRebuilding)
            m_History.Restore(m_pAfter);
        m_bDone = true;
    }
    const StatePtr& Before() const { return m_pBefore; }
    const StatePtr& After() const { return m_pAfter; }

private:
    CUndoHistory& m_History;
    StatePtr m_pBefore;
    StatePtr m_pAfter;
    unsigned m_nGesture;
    QPointer<QObject> m_pSource;
    bool m_bDone = false;
};

CUndoHistory::CUndoHistory(CDocumentHost& host, QObject* pParent)
    : QObject(pParent), m_Host(host), m_pStack(new QUndoStack(this)), m_pState(std::make_shared<SState>()),
      m_pSaved(m_pState)
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

CUndoHistory::StatePtr CUndoHistory::MakeState(const std::string& szText, const SState* pLike)
{
    // The old lines by length: a changed line is looked for among those of its length only, and
    // most lines stay where they were.
    std::unordered_multimap<size_t, const std::shared_ptr<const std::string>*> byLength;
    if (pLike)
        for (const auto& pLine : pLike->m_Lines)
            byLength.emplace(pLine->size(), &pLine);
    auto pState = std::make_shared<SState>();
    size_t nStart = 0;
    while (nStart < szText.size()) {
        size_t nEnd = szText.find('\n', nStart);
        nEnd = nEnd == std::string::npos ? szText.size() : nEnd + 1;
        const std::string_view line(szText.data() + nStart, nEnd - nStart);
        const size_t nIndex = pState->m_Lines.size();
        const std::shared_ptr<const std::string>* pFound = nullptr;
        if (pLike && nIndex < pLike->m_Lines.size() && *pLike->m_Lines[nIndex] == line) {
            pFound = &pLike->m_Lines[nIndex];
        } else {
            const auto range = byLength.equal_range(line.size());
            for (auto it = range.first; it != range.second && !pFound; ++it)
                if (**it->second == line)
                    pFound = it->second;
        }
        pState->m_Lines.push_back(pFound ? *pFound : std::make_shared<const std::string>(line));
        nStart = nEnd;
    }
    pState->m_Lines.shrink_to_fit();
    return pState;
}

std::string CUndoHistory::Join(const SState& state)
{
    size_t nSize = 0;
    for (const auto& pLine : state.m_Lines)
        nSize += pLine->size();
    std::string szText;
    szText.reserve(nSize);
    for (const auto& pLine : state.m_Lines)
        szText += *pLine;
    return szText;
}

bool CUndoHistory::Equal(const SState& state, const std::string& szText)
{
    size_t nPos = 0;
    for (const auto& pLine : state.m_Lines) {
        if (szText.compare(nPos, pLine->size(), *pLine) != 0)
            return false;
        nPos += pLine->size();
    }
    return nPos == szText.size();
}

bool CUndoHistory::Equal(const SState& a, const SState& b)
{
    if (a.m_Lines.size() != b.m_Lines.size())
        return false;
    for (size_t i = 0; i < a.m_Lines.size(); ++i)
        if (a.m_Lines[i] != b.m_Lines[i] && *a.m_Lines[i] != *b.m_Lines[i])
            return false;
    return true;
}

int CUndoHistory::CountSteps(size_t* pBytes) const
{
    // The present state's lines are the document's anyway.
    std::unordered_set<const std::string*> counted;
    if (m_pState)
        for (const auto& pLine : m_pState->m_Lines)
            counted.insert(pLine.get());
    size_t nBytes = 0;
    const auto Count = [&](const SState* pState) {
        if (!pState || pState == m_pState.get())
            return;
        nBytes += sizeof(SState) + pState->m_Lines.capacity() * sizeof(pState->m_Lines[0]);
        for (const auto& pLine : pState->m_Lines)
            if (counted.insert(pLine.get()).second)
                nBytes += sizeof(std::string) + 32 + pLine->capacity(); // with the shared count
    };
    Count(m_pSaved.get());
    const int nIndex = m_pStack->index();
    int nDrop = 0;
    for (int i = m_pStack->count() - 1; i >= 0; --i) {
        const auto* pStep = static_cast<const CStep*>(m_pStack->command(i));
        Count(pStep->Before().get());
        Count(pStep->After().get());
        if (nBytes > m_nLimit && i < nIndex - 1 && nDrop == 0)
            nDrop = i + 1;
    }
    if (pBytes)
        *pBytes = nBytes;
    return nDrop;
}

size_t CUndoHistory::Bytes() const
{
    size_t nBytes;
    CountSteps(&nBytes);
    return nBytes;
}

void CUndoHistory::Trim()
{
    const int nDrop = CountSteps(nullptr);
    if (nDrop == 0)
        return;
    // A stack cannot lose its oldest commands: it is filled again with the others, in their
    // order, at the same place and with the same clean step where that is among them.
    const int nCount = m_pStack->count();
    const int nIndex = m_pStack->index();
    const int nClean = m_pStack->cleanIndex();
    std::vector<CStep*> kept;
    for (int i = nDrop; i < nCount; ++i)
        kept.push_back(static_cast<const CStep*>(m_pStack->command(i))->Clone());
    m_bRebuilding = true;
    m_pStack->clear();
    if (nClean == nDrop)
        m_pStack->setClean();
    for (size_t k = 0; k < kept.size(); ++k) {
        m_pStack->push(kept[k]);
        if (nDrop + static_cast<int>(k) + 1 == nClean)
            m_pStack->setClean();
    }
    for (int i = nCount; i > nIndex; --i)
        m_pStack->undo();
    if (nClean < nDrop) {
        // The saved state can no longer be reached by undo.
        m_pStack->resetClean();
        m_pSaved.reset();
    }
    m_bRebuilding = false;
}

void CUndoHistory::Reset()
{
    m_pStack->clear();
    m_pState = MakeState(Snapshot(m_Host.Document()), nullptr);
    m_pSaved = m_pState;
    m_bNotesChanged = false;
    NewGesture();
}

void CUndoHistory::SetClean()
{
    NoteChanges();
    m_pStack->setClean();
    m_pSaved = m_pState;
    m_bNotesChanged = false;
}

void CUndoHistory::Rebase()
{
    if (m_bRestoring)
        return;
    m_pState = MakeState(Snapshot(m_Host.Document()), m_pState.get());
    // A change the document does not count as one (the automatic range) leaves it the file's.
    if (!m_Host.Document().m_bModified && m_pStack->isClean())
        m_pSaved = m_pState;
}

bool CUndoHistory::IsSavedState()
{
    return m_pStack->isClean() && !m_bNotesChanged && m_pSaved && Equal(*m_pSaved, Snapshot(m_Host.Document()));
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
    const std::string szState = Snapshot(m_Host.Document());
    if (Equal(*m_pState, szState))
        return;
    StatePtr pBefore = m_pState;
    m_pState = MakeState(szState, pBefore.get());
    m_pStack->push(new CStep(*this, std::move(pBefore), m_pState, m_nGesture, m_pInputTarget));
    Trim();
    emit Changed();
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

void CUndoHistory::Restore(const StatePtr& pState)
{
    std::unique_ptr<CProject> pProject = Parse(Join(*pState));
    if (!pProject)
        return; // a state this window wrote always reads back; should it not, the document stays
    pProject->m_pszNotes = m_Host.Document().m_pszNotes;
    pProject->m_bModified = m_Host.Document().m_bModified; // FollowCleanState decides
    m_bRestoring = true;
    m_Host.RestoreDocument(std::move(pProject));
    m_bRestoring = false;
    m_pState = MakeState(Snapshot(m_Host.Document()), pState.get());
}
