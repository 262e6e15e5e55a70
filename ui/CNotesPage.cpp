#include "ui/CNotesPage.h"

#include <QAction>
#include <QPainter>
#include <QPixmap>
#include <QPrinter>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextFrame>
#include <QTextList>
#include <QToolBar>
#include <QVBoxLayout>
#include <functional>
#include <optional>

#include "project/CProject.h"
#include "ui/CAnsi.h"
#include "ui/CPageFrame.h"
#include "ui/CRtfReader.h"
#include "ui/CUndoHistory.h"
#include "ui/CUpdateGuard.h"
#include "ui/CUserDialogs.h"

CNotesPage::CNotesPage(CPageFrame& frame) : m_Frame(frame)
{
    setObjectName("NotesSheet");
    NotesEdit = new QTextEdit(this);
    NotesEdit->setObjectName("NotesEdit");
    NotesEdit->setAcceptRichText(true);
    NotesEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    FormatBar = new QToolBar(this);
    FormatBar->setObjectName("FormatBar");
    FormatBar->setIconSize(QSize(16, 16));
    FormatBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    // Each button a letter as its own format shows it: F(ett), K(ursiv), U(nterstrichen).
    const auto AddFormat = [this](const char* pszName, const QString& szLetter, const QString& szHint,
                                  const QKeySequence& key, const std::function<void(QFont&)>& style) {
        QAction* pAction = FormatBar->addAction(szHint);
        pAction->setObjectName(pszName);
        QPixmap pixmap(32, 32);
        pixmap.fill(Qt::transparent);
        {
            QPainter painter(&pixmap);
            QFont font = this->font();
            font.setPixelSize(24);
            style(font);
            painter.setFont(font);
            painter.setPen(palette().color(QPalette::ButtonText));
            painter.drawText(pixmap.rect(), Qt::AlignCenter, szLetter);
        }
        pAction->setIcon(QIcon(pixmap));
        pAction->setCheckable(true);
        if (!key.isEmpty()) {
            pAction->setShortcut(key);
            QString szKey = key.toString(QKeySequence::PortableText);
            szKey.replace("Ctrl", "Strg");
            pAction->setToolTip(szHint + " (" + szKey + ")");
            // The keys act where the focus is on this page, and only there.
            pAction->setShortcutContext(Qt::WidgetWithChildrenShortcut);
            addAction(pAction);
        }
        return pAction;
    };
    BoldAction = AddFormat("BoldAction", "F", "Fett", QKeySequence(Qt::CTRL | Qt::Key_B),
                           [](QFont& font) { font.setBold(true); });
    ItalicAction = AddFormat("ItalicAction", "K", "Kursiv", QKeySequence(Qt::CTRL | Qt::Key_I),
                             [](QFont& font) { font.setItalic(true); });
    UnderlineAction = AddFormat("UnderlineAction", "U", "Unterstrichen", QKeySequence(Qt::CTRL | Qt::Key_U),
                                [](QFont& font) { font.setUnderline(true); });
    ColorAction = FormatBar->addAction("Textfarbe\u2026");
    ColorAction->setObjectName("ColorAction");
    ListAction = AddFormat("ListAction", "\u2022", "Aufz\u00E4hlung", QKeySequence(), [](QFont&) {});
    connect(BoldAction, &QAction::triggered, this, &CNotesPage::BoldClick);
    connect(ItalicAction, &QAction::triggered, this, &CNotesPage::ItalicClick);
    connect(UnderlineAction, &QAction::triggered, this, &CNotesPage::UnderlineClick);
    connect(ColorAction, &QAction::triggered, this, &CNotesPage::ColorClick);
    connect(ListAction, &QAction::triggered, this, &CNotesPage::ListClick);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->setSpacing(0);
    pLayout->addWidget(FormatBar);
    pLayout->addWidget(NotesEdit);
    connect(NotesEdit, &QTextEdit::textChanged, this, &CNotesPage::NotesEditChange);
    connect(NotesEdit, &QTextEdit::currentCharFormatChanged, this, &CNotesPage::ShowFormat);
    connect(NotesEdit, &QTextEdit::cursorPositionChanged, this, &CNotesPage::ShowFormat);
    ShowFormat();
}

namespace {
// The characters of the bytes 0x80 ... 0x9F in Windows-1252; 0 where it has none.
constexpr char16_t g_AnsiHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                     0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                     0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                     0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// The Windows-1252 byte of c; 0 when the code page has no such character (or c is NUL).
char AnsiByte(char32_t c)
{
    if ((c > 0 && c < 0x80) || (c >= 0xA0 && c <= 0xFF))
        return static_cast<char>(c);
    for (unsigned i = 0; i < 32; ++i)
        if (g_AnsiHigh[i] != 0 && g_AnsiHigh[i] == c)
            return static_cast<char>(0x80 + i);
    return 0;
}

// The notes' reading rule (ReadNotes) takes this text as plain text.
bool ReadsAsPlainText(const std::string& szAnsi, const QString& szText)
{
    return !CRtfReader::IsRtf(szAnsi) && !Qt::mightBeRichText(szText);
}

// The document as plain text in Windows-1252, when loading that text gives the same document:
// no formats but those of plain text, no table, picture or forced line break, and no character
// the code page has not. None otherwise.
std::optional<std::string> PlainNotes(const QTextDocument& document)
{
    if (!document.rootFrame()->childFrames().isEmpty())
        return std::nullopt;
    QTextDocument plain;
    plain.setPlainText("x");
    const QTextBlockFormat blockFormat = plain.firstBlock().blockFormat();
    const QTextCharFormat charFormat = plain.firstBlock().begin().fragment().charFormat();
    for (QTextBlock block = document.firstBlock(); block.isValid(); block = block.next()) {
        if (block.blockFormat() != blockFormat || block.charFormat() != charFormat || block.textList())
            return std::nullopt;
        for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat() != charFormat)
                return std::nullopt;
    }
    const QString szRaw = document.toRawText();
    std::string szAnsi;
    szAnsi.reserve(static_cast<size_t>(szRaw.size()));
    for (const char32_t c : szRaw.toUcs4()) {
        if (c == QChar::ParagraphSeparator)
            szAnsi += '\n';
        else if (c == QChar::Nbsp || c == QChar::LineSeparator || c == QChar::ObjectReplacementCharacter ||
                 AnsiByte(c) == 0)
            return std::nullopt; // plain text would lose it
        else
            szAnsi += AnsiByte(c);
    }
    if (!ReadsAsPlainText(szAnsi, document.toPlainText()))
        return std::nullopt;
    return szAnsi;
}

// The editor's HTML without the style that every paragraph of it repeats (the margins of a plain
// paragraph, stated once in the head instead), in Windows-1252 with references for the rest.
std::string CompactHtml(const QTextDocument& document)
{
    static const QString szPlain =
        " margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;";
    static const QString szEmpty = "-qt-paragraph-type:empty;";
    QString szHtml = document.toHtml();
    szHtml.replace("<p style=\"" + szPlain + "\">", "<p>");
    szHtml.replace("<p style=\"" + szEmpty + szPlain + "\">", "<p style=\"" + szEmpty + "\">");
    szHtml.replace("<style type=\"text/css\">\n",
                   "<style type=\"text/css\">\np { margin-top:0px; margin-bottom:0px; }\n");
    szHtml.replace("<meta charset=\"utf-8\" />", "<meta charset=\"windows-1252\" />");
    std::string szNotes;
    szNotes.reserve(static_cast<size_t>(szHtml.size()));
    for (const char32_t c : szHtml.toUcs4()) {
        if (const char cAnsi = AnsiByte(c))
            szNotes += cAnsi;
        else
            szNotes += "&#" + std::to_string(static_cast<uint32_t>(c)) + ";";
    }
    return szNotes;
}
} // namespace

std::string CNotesPage::NotesText(const QTextDocument& document)
{
    if (std::optional<std::string> szPlain = PlainNotes(document))
        return *szPlain;
    return CompactHtml(document);
}

void CNotesPage::ReadNotes(const std::string& szNotes, QTextDocument& document)
{
    if (CRtfReader::IsRtf(szNotes)) { // the signature decides before any HTML would be looked for
        CRtfReader::Read(szNotes, document);
        return;
    }
    const QString szText = Ansi::ToQString(szNotes);
    if (ReadsAsPlainText(szNotes, szText))
        document.setPlainText(szText);
    else
        document.setHtml(szText);
}

void CNotesPage::NotesEditChange()
{
    if (m_Frame.IsUpdating())
        return;
    std::string szNotes = NotesText(*NotesEdit->document());
    const bool bSaved = szNotes == m_szSavedNotes;
    m_Frame.Document().m_pszNotes = std::move(szNotes);
    m_bEdited = true;
    m_Frame.History().NotesChanged(!bSaved);
}

void CNotesPage::NotesSaved()
{
    if (m_bEdited && m_Frame.Document().m_pszNotes)
        m_szSavedNotes = *m_Frame.Document().m_pszNotes;
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
    // Notes of another form (RTF, full HTML) read and written again are the same notes.
    m_szSavedNotes = NotesText(*NotesEdit->document());
    m_bEdited = false;
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

void CNotesPage::MergeFormat(const QTextCharFormat& format)
{
    NotesEdit->mergeCurrentCharFormat(format);
    NotesEdit->setFocus(); // a click on the bar leaves the typing where it was
}

void CNotesPage::BoldClick(bool bOn)
{
    QTextCharFormat format;
    format.setFontWeight(bOn ? QFont::Bold : QFont::Normal);
    MergeFormat(format);
}

void CNotesPage::ItalicClick(bool bOn)
{
    QTextCharFormat format;
    format.setFontItalic(bOn);
    MergeFormat(format);
}

void CNotesPage::UnderlineClick(bool bOn)
{
    QTextCharFormat format;
    format.setFontUnderline(bOn);
    MergeFormat(format);
}

void CNotesPage::ColorClick()
{
    QColor color = NotesEdit->textColor();
    if (!m_Frame.Dialogs().Color(this, color))
        return;
    QTextCharFormat format;
    format.setForeground(color);
    MergeFormat(format);
}

void CNotesPage::ListClick(bool bOn)
{
    QTextCursor cursor = NotesEdit->textCursor();
    cursor.beginEditBlock();
    if (bOn) {
        cursor.createList(QTextListFormat::ListDisc);
    } else if (cursor.currentList()) {
        // Every paragraph of the selection leaves the list, at the indent it had before it.
        const int nEnd = cursor.selectionEnd();
        for (QTextBlock block = NotesEdit->document()->findBlock(cursor.selectionStart());
             block.isValid() && block.position() <= nEnd; block = block.next()) {
            if (QTextList* pBlockList = block.textList()) {
                pBlockList->remove(block);
                QTextCursor at(block);
                QTextBlockFormat format = block.blockFormat();
                format.setIndent(0);
                at.setBlockFormat(format);
            }
        }
    }
    cursor.endEditBlock();
    NotesEdit->setFocus();
    ShowFormat();
}

void CNotesPage::ShowFormat()
{
    const QTextCharFormat format = NotesEdit->currentCharFormat();
    BoldAction->setChecked(format.fontWeight() > QFont::Normal);
    ItalicAction->setChecked(format.fontItalic());
    UnderlineAction->setChecked(format.fontUnderline());
    ListAction->setChecked(NotesEdit->textCursor().currentList() != nullptr);
    // The colour button shows the colour of the text at the cursor.
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        QFont font = this->font();
        font.setPixelSize(22);
        painter.setFont(font);
        painter.setPen(palette().color(QPalette::ButtonText));
        painter.drawText(QRect(0, 0, 32, 26), Qt::AlignCenter, "A");
        painter.fillRect(QRect(3, 25, 26, 6), NotesEdit->textColor());
    }
    ColorAction->setIcon(QIcon(pixmap));
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
