#include "ui/CNotesPage.h"

#include <QPrinter>
#include <QTextDocument>
#include <QTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include "project/CProject.h"
#include "ui/CAnsi.h"
#include "ui/CRtfReader.h"
#include "ui/CUserDialogs.h"
#include "ui/TMainForm.h"

CNotesPage::CNotesPage(TMainForm& form) : m_Form(form)
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
    if (m_Form.m_bUpdating)
        return;
    // Notes are no change to the project's content: the modified flag stays as it is.
    m_Form.m_pDocument->m_pszNotes = NotesText(*NotesEdit->document());
}

void CNotesPage::FillNotesEditor()
{
    m_Form.m_bUpdating = true;
    const std::optional<std::string>& pszNotes = m_Form.m_pDocument->m_pszNotes;
    if (!pszNotes)
        NotesEdit->clear();
    else
        ReadNotes(*pszNotes, *NotesEdit->document());
    // Filling is no edit that undo could take back.
    NotesEdit->document()->clearUndoRedoStacks();
    m_Form.m_bUpdating = false;
}

bool CNotesPage::ShowsNotes() const
{
    return !NotesEdit->document()->isEmpty();
}

void CNotesPage::FontButtonClick()
{
    // The platform's font dialog has no colour; the selection keeps its own.
    QFont font = NotesEdit->currentCharFormat().font();
    if (!m_Form.m_pDialogs->Font(this, font))
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
    for (QToolButton* pButton : {m_Form.FontButton, m_Form.CopyButton, m_Form.PasteButton, m_Form.PrintButton})
        pButton->setEnabled(true);
}

void CNotesPage::NotesSheetExit()
{
    for (QToolButton* pButton : {m_Form.FontButton, m_Form.CopyButton, m_Form.PasteButton, m_Form.PrintButton})
        pButton->setEnabled(false);
}
