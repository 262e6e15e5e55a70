#include "ui/CNotesPage.h"

#include <QPrinter>
#include <QTextDocument>
#include <QTextEdit>
#include <QVBoxLayout>

#include "project/CProject.h"
#include "ui/CAnsi.h"
#include "ui/CPageFrame.h"
#include "ui/CRtfReader.h"
#include "ui/CUpdateGuard.h"
#include "ui/CUserDialogs.h"

CNotesPage::CNotesPage(CPageFrame& frame) : m_Frame(frame)
{
    setObjectName("NotesSheet");
    NotesEdit = new QTextEdit(this);
    NotesEdit->setObjectName("NotesEdit");
    NotesEdit->setAcceptRichText(true);
    NotesEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->addWidget(NotesEdit);
    connect(NotesEdit, &QTextEdit::textChanged, this, &CNotesPage::NotesEditChange);
}

std::string CNotesPage::NotesText(const QTextDocument& document)
{
    const QString szHtml = document.toHtml();
    std::string szNotes;
    szNotes.reserve(static_cast<size_t>(szHtml.size()));
    for (const char32_t c : szHtml.toUcs4()) {
        if (c < 128)
            szNotes += static_cast<char>(c);
        else
            szNotes += "&#" + std::to_string(static_cast<uint32_t>(c)) + ";";
    }
    return szNotes;
}

void CNotesPage::ReadNotes(const std::string& szNotes, QTextDocument& document)
{
    if (CRtfReader::IsRtf(szNotes)) {
        CRtfReader::Read(szNotes, document);
        return;
    }
    const QString szText = Ansi::ToQString(szNotes);
    if (Qt::mightBeRichText(szText))
        document.setHtml(szText);
    else
        document.setPlainText(szText);
}

void CNotesPage::NotesEditChange()
{
    if (m_Frame.IsUpdating())
        return;
    // Notes are no change to the project's content: the modified flag stays as it is.
    m_Frame.Document().m_pszNotes = NotesText(*NotesEdit->document());
}

void CNotesPage::FillNotesEditor()
{
    const CUpdateGuard guard(m_Frame);
    const std::optional<std::string>& pszNotes = m_Frame.Document().m_pszNotes;
    if (!pszNotes)
        NotesEdit->clear();
    else
        ReadNotes(*pszNotes, *NotesEdit->document());
    // Filling is no edit that undo could take back.
    NotesEdit->document()->clearUndoRedoStacks();
}

bool CNotesPage::ShowsNotes() const
{
    return !NotesEdit->document()->isEmpty();
}

void CNotesPage::FontButtonClick()
{
    // The platform's font dialog has no colour; the selection keeps its own.
    QFont font = NotesEdit->currentCharFormat().font();
    if (!m_Frame.Dialogs().Font(this, font))
        return;
    QTextCharFormat format;
    format.setFont(font);
    NotesEdit->mergeCurrentCharFormat(format);
}

void CNotesPage::PasteButtonClick()
{
    NotesEdit->paste();
}

void CNotesPage::CopySelection()
{
    NotesEdit->copy();
}

void CNotesPage::Print(QPrinter& printer, const QString& szTitle)
{
    printer.setDocName(szTitle);
    NotesEdit->document()->print(&printer);
}

void CNotesPage::NotesSheetEnter()
{
    for (const CPageFrame::ECommand eCommand :
         {CPageFrame::COMMAND_FONT, CPageFrame::COMMAND_COPY, CPageFrame::COMMAND_PASTE, CPageFrame::COMMAND_PRINT})
        m_Frame.EnableCommand(eCommand, true);
}

void CNotesPage::NotesSheetExit()
{
    for (const CPageFrame::ECommand eCommand :
         {CPageFrame::COMMAND_FONT, CPageFrame::COMMAND_COPY, CPageFrame::COMMAND_PASTE, CPageFrame::COMMAND_PRINT})
        m_Frame.EnableCommand(eCommand, false);
}
