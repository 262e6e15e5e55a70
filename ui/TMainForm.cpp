#include "ui/TMainForm.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QPrinter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolBar>
#include <QToolButton>
#include <ctime>

#include "expr/CFuncRandom.h"
#include "kurvix_version.h"
#include "project/CProject.h"
#include "project/ELoadFuncError.h"
#include "project/ELoadSaveError.h"
#include "ui/CAnsi.h"
#include "ui/CColorBox.h"
#include "ui/CFunctionsPage.h"
#include "ui/CGraphPrint.h"
#include "ui/CGraphicsPage.h"
#include "ui/CStepEditors.h"
#include "ui/COptionsPage.h"
#include "ui/CStylePopupMenu.h"
#include "ui/CToolIcons.h"
#include "ui/CUserDialogs.h"

TMainForm::TMainForm(QWidget* pParent)
    : QMainWindow(pParent), m_pDialogs(std::make_unique<CUserDialogs>()), m_pDocument(std::make_unique<CProject>())
{
    setObjectName("MainForm");
    CFuncRandom::Seed(static_cast<uint32_t>(std::time(nullptr)));

    auto* pToolBar = new QToolBar(this);
    pToolBar->setObjectName("ToolBar1");
    pToolBar->setMovable(false);
    pToolBar->setFloatable(false);
    pToolBar->setIconSize(QSize(22, 22));
    pToolBar->setContextMenuPolicy(Qt::PreventContextMenu);
    addToolBar(Qt::TopToolBarArea, pToolBar);
    FileNewButton = AddToolButton("FileNewButton", "Neu", CToolIcons::New, true);
    FileOpenButton = AddToolButton("FileOpenButton", "\u00D6ffnen", CToolIcons::Open, true);
    FileSaveButton = AddToolButton("FileSaveButton", "Speichern", CToolIcons::Save, true);
    PrintButton = AddToolButton("PrintButton", "Drucken", CToolIcons::Print, false);
    pToolBar->addSeparator();
    CopyButton = AddToolButton("CopyButton", "Kopie in Zwischenablage", CToolIcons::Copy, false);
    PasteButton = AddToolButton("PasteButton", "Einf\u00FCgen aus Zwischenablage", CToolIcons::Paste, false);
    FontButton = AddToolButton("FontButton", "Textformatierung", CToolIcons::Font, false);
    pToolBar->addSeparator();
    GraphicsButton = AddToolButton("GraphicsButton", "Grafik neu zeichnen", CToolIcons::Graphics, true);
    // Pause, skip and zoom act on the Grafik page; it enables them while it is shown.
    PauseButton = AddToolButton("PauseButton", "Animation unterbrechen", CToolIcons::Pause, false);
    SkipButton = AddToolButton("SkipButton", "Animationsschritt \u00FCberspringen", CToolIcons::Skip, false);
    ZoominButton = AddToolButton("ZoominButton", "Vergr\u00F6\u00DFern", CToolIcons::ZoomIn, false);
    ZoomoutButton = AddToolButton("ZoomoutButton", "Verkleinern", CToolIcons::ZoomOut, false);

    PageControl = new QTabWidget(this);
    PageControl->setObjectName("PageControl");
    FunctionsSheet = new CFunctionsPage(*this);
    OptionsSheet = new COptionsPage(*this);
    NotesSheet = new CNotesPage(*this);
    WetaSheet = new CWetaPage(*this);
    GraphicsSheet = new CGraphicsPage(*this);
    DebugSheet = new CDebugPage(*this);
    PageControl->addTab(FunctionsSheet, "Funktionen");
    PageControl->addTab(OptionsSheet, "Einstellungen");
    PageControl->addTab(NotesSheet, "Notizen");
    PageControl->addTab(WetaSheet, "Wertetafel");
    PageControl->addTab(GraphicsSheet, "Grafik");
    PageControl->addTab(DebugSheet, "Debug");
    setCentralWidget(PageControl);
    m_pShownPage = FunctionsSheet;
    connect(GraphicsButton, &QToolButton::clicked, GraphicsSheet, &CGraphicsPage::GraphicsButtonClick);
    connect(PauseButton, &QToolButton::clicked, GraphicsSheet, &CGraphicsPage::PauseButtonClick);
    connect(SkipButton, &QToolButton::clicked, GraphicsSheet, &CGraphicsPage::SkipButtonClick);
    connect(ZoominButton, &QToolButton::clicked, GraphicsSheet, &CGraphicsPage::ZoominButtonClick);
    connect(ZoomoutButton, &QToolButton::clicked, GraphicsSheet, &CGraphicsPage::ZoomoutButtonClick);
    connect(FunctionsSheet->StepEditors()->RunButton, &QToolButton::clicked, GraphicsSheet,
            &CGraphicsPage::RunButtonClick);
    connect(PageControl, &QTabWidget::currentChanged, this, &TMainForm::PageChanged);
    connect(FileNewButton, &QToolButton::clicked, this, &TMainForm::FileNewButtonClick);
    connect(FileOpenButton, &QToolButton::clicked, this, &TMainForm::FileOpenButtonClick);
    connect(FileSaveButton, &QToolButton::clicked, this, &TMainForm::FileSaveButtonClick);
    connect(CopyButton, &QToolButton::clicked, this, &TMainForm::CopyButtonClick);
    connect(PrintButton, &QToolButton::clicked, this, &TMainForm::PrintButtonClick);
    connect(PasteButton, &QToolButton::clicked, NotesSheet, &CNotesPage::PasteButtonClick);
    connect(FontButton, &QToolButton::clicked, NotesSheet, &CNotesPage::FontButtonClick);

    statusBar()->setObjectName("StatusBar1");
    statusBar()->setSizeGripEnabled(true);
    StatusBar1Panel = new QLabel(statusBar());
    StatusBar1Panel->setObjectName("StatusBar1Panel");
    StatusBar1Panel->setTextFormat(Qt::PlainText);
    statusBar()->addWidget(StatusBar1Panel, 1);

    // The form's client area is 592 x 460; larger where the platform's fonts need more room.
    setMinimumSize(600, 308);
    resize(sizeHint().expandedTo(QSize(592, 460 + pToolBar->sizeHint().height() + statusBar()->sizeHint().height())));

    // Key preview: the window sees every key before the focused control does.
    qApp->installEventFilter(this);
}

TMainForm::~TMainForm()
{
    qApp->removeEventFilter(this);
}

QToolButton* TMainForm::AddToolButton(const char* pszName, const QString& szHint, int nIcon, bool bEnabled)
{
    auto* pButton = new QToolButton(this);
    pButton->setObjectName(pszName);
    pButton->setToolTip(szHint);
    pButton->setAccessibleName(szHint);
    pButton->setIcon(CToolIcons::Make(static_cast<CToolIcons::EIcon>(nIcon)));
    pButton->setAutoRaise(true);
    pButton->setEnabled(bEnabled);
    pButton->setFocusPolicy(Qt::NoFocus);
    findChild<QToolBar*>("ToolBar1")->addWidget(pButton);
    return pButton;
}

void TMainForm::FormCreate(const QString& szFileName)
{
    ShowCaption(QString());
    FunctionsSheet->WriteVariablesHeadings();
    StylePopupMenu = new CStylePopupMenu(m_pDocument, m_pDocument->m_nPaletteSize, this);
    StylePopupMenu->SetClickHandler(
        [this](const CStyleItem& item, QWidget* pComponent) { StyleItemClick(item, pComponent); });
    FormResize();
    if (!szFileName.isEmpty())
        OpenProject(szFileName);
    RefreshAllViews();
    PageControl->setCurrentWidget(FunctionsSheet);
    FunctionsSheet->VariablesBox()->setFocus();
    repaint();
    FunctionsSheet->FunctionsGrid()->setFocus();
    FunctionsSheetEnter();
}

void TMainForm::ShowStatus(const QString& szText)
{
    if (StatusBar1Panel->text() == szText)
        return;
    StatusBar1Panel->setText(szText);
    statusBar()->repaint();  // visible at once, also before a long computation
}

QString TMainForm::StatusText() const
{
    return StatusBar1Panel->text();
}

void TMainForm::RefreshAllViews()
{
    FunctionsSheet->FillFunctionsGrid();
    FunctionsSheet->FillStepsBox();
    FunctionsSheet->SelectStep(0);
    OptionsSheet->FillOptionsPage();
    NotesSheet->FillNotesEditor();
    if (PageControl->currentWidget() == DebugSheet)
        DebugSheet->DebugSheetEnter();
}

void TMainForm::FormResize()
{
    FunctionsSheet->FormResize();
}

void TMainForm::resizeEvent(QResizeEvent* pEvent)
{
    QMainWindow::resizeEvent(pEvent);
    FormResize();
}

bool TMainForm::OpenProject(const QString& szFileName)
{
    auto pProject = std::make_unique<CProject>();
    const QString szPrefix = "Fehler beim Laden von " + szFileName;
    try {
        pProject->Load(QFile::encodeName(szFileName).constData());
    } catch (const ELoadSaveError& error) {
        m_pDialogs->Warning(this, error.m_nLine ? szPrefix + " in Zeile " + QString::number(error.m_nLine)
                                                : szPrefix + ": Datei nicht gefunden");
        return false;
    } catch (const ELoadFuncError& error) {
        m_pDialogs->Warning(this, szPrefix + ": " + Ansi::ToQString(error.m_pszMessage) + " " +
                                      Ansi::ToQString(error.Location()));
        return false;
    } catch (const EFuncError& error) {
        m_pDialogs->Warning(this, szPrefix + ": " + Ansi::ToQString(error.m_pszMessage));
        return false;
    }
    m_szFileName = szFileName;
    m_szOpenFileName = szFileName;  // also for a file named on the command line
    ShowCaption(szFileName);
    ReplaceDocument(std::move(pProject), true);
    return true;
}

void TMainForm::ReplaceDocument(std::unique_ptr<CProject> pProject, bool bChoosePage)
{
    // What a page holds of the old document (a drawing job, a table, a dump) goes with it: the
    // page shown is left before the document is replaced and entered again afterwards.
    PageExit(m_pShownPage);
    m_pShownPage = nullptr;
    m_pCurrentStep = nullptr;
    m_pDocument = std::move(pProject);
    RefreshAllViews();
    QWidget* pPage = PageControl->currentWidget();
    // Notes that show no text (an emptied editor, the empty notes of a legacy file) are no notes
    // worth opening on.
    if (bChoosePage)
        pPage = m_pDocument->m_pszNotes && NotesSheet->ShowsNotes()
                    ? static_cast<QWidget*>(NotesSheet)
                    : FunctionsSheet;
    if (PageControl->currentWidget() == pPage) {
        m_pShownPage = pPage;
        PageEnter(pPage);
    } else {
        PageControl->setCurrentWidget(pPage);
    }
}

void TMainForm::ShowCaption(const QString& szFileName)
{
    setWindowTitle(szFileName.isEmpty() ? QCoreApplication::applicationName() + " V" + KURVIX_VERSION_TEXT
                                        : QCoreApplication::applicationName() + " - " + szFileName);
}

bool TMainForm::QuerySave()
{
    if (!m_pDocument->m_bModified)
        return true;
    switch (m_pDialogs->QuestionOrCancel(this, m_szFileName, "\u00C4nderungen speichern?")) {
    case CUserDialogs::Yes: return FileSaveButtonClick();
    case CUserDialogs::No: return true;
    case CUserDialogs::Cancel: break;
    }
    return false;
}

void TMainForm::FileNewButtonClick()
{
    if (!QuerySave())
        return;
    ReplaceDocument(std::make_unique<CProject>(), false);
    m_szFileName.clear();
    ShowCaption(m_szFileName);
}

void TMainForm::FileOpenButtonClick()
{
    if (!QuerySave())
        return;
    const QString szName = m_pDialogs->OpenFileName(this, m_szOpenFileName, "KURVIX-Dateien (*.kvx *.kvo)");
    if (szName.isEmpty())
        return;
    m_szOpenFileName = szName;
    OpenProject(szName);
}

bool TMainForm::FileSaveButtonClick()
{
    // The file cannot hold a formula that does not compile (it would not load again); the user
    // hears which ones stay behind before anything is written.
    const QStringList failing = FunctionsSheet->FailingFunctions();
    if (!failing.isEmpty()) {
        const QString szText = failing.size() == 1
                                   ? failing[0] + " enth\u00E4lt einen Fehler und wird nicht gespeichert."
                                   : failing.join(", ") + " enthalten einen Fehler und werden nicht gespeichert.";
        if (!m_pDialogs->Confirm(this, QCoreApplication::applicationName(), szText + " Trotzdem speichern?"))
            return false;
    }
    // Only the current format is written, and a file of it loads back only under ".kvx": a
    // legacy name is proposed, and taken, with that extension.
    const auto CurrentFormatName = [](QString szName) {
        if (szName.endsWith(".kvo", Qt::CaseInsensitive))
            szName.chop(4), szName += ".kvx";
        return szName;
    };
    const QString szChosen = m_pDialogs->SaveFileName(this, CurrentFormatName(m_szFileName), "KURVIX-Dateien (*.kvx)");
    const QString szName = CurrentFormatName(szChosen);
    if (szName.isEmpty())
        return false;
    // The dialog asked about the name chosen there, not about the one written instead.
    if (szName != szChosen && QFile::exists(szName) &&
        !m_pDialogs->Question(this, QCoreApplication::applicationName(),
                              szName + " existiert bereits.\nSoll die Datei ersetzt werden?"))
        return false;
    m_szFileName = szName;
    return SaveProject(szName);
}

bool TMainForm::SaveProject(const QString& szFileName)
{
    try {
        m_pDocument->Save(QFile::encodeName(szFileName).constData());
    } catch (const ELoadSaveError&) {
        m_pDialogs->Warning(this, "Fehler beim Speichern");
        return false;
    }
    ShowCaption(szFileName);
    return true;
}

bool TMainForm::FormCloseQuery()
{
    return QuerySave();
}

void TMainForm::closeEvent(QCloseEvent* pEvent)
{
    pEvent->setAccepted(FormCloseQuery());
}

QPrinter& TMainForm::Printer()
{
    if (!m_pPrinter)
        m_pPrinter = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *m_pPrinter;
}

void TMainForm::CopyButtonClick()
{
    QWidget* pPage = PageControl->currentWidget();
    if (pPage == GraphicsSheet) {
        QApplication::clipboard()->setImage(GraphicsSheet->Picture());
    } else if (pPage == WetaSheet) {
        QApplication::clipboard()->setText(WetaSheet->GridText());
    } else if (pPage == FunctionsSheet) {
        QString szText;
        for (unsigned n = 1; n <= MAX_FUNCTIONS; ++n)
            if (const CFuncTerm* pTerm = m_pDocument->GetFunction(n))
                szText += "f" + QString::number(n) + ": " + Ansi::ToQString(pTerm->GetText()) + "\r\n";
        QApplication::clipboard()->setText(szText);
    } else if (pPage == NotesSheet) {
        NotesSheet->CopySelection();
    }
}

void TMainForm::PrintButtonClick()
{
    QWidget* pPage = PageControl->currentWidget();
    if (pPage == GraphicsSheet) {
        if (!m_pDialogs->PrintSetup(this, Printer()))
            return;
        if (!CGraphPrint::Print(Printer(), *m_pDocument, GraphicsSheet->DrawVars(), GraphicsSheet->PaintBoxSize()))
            ShowStatus("Fehler beim Drucken");
    } else if (pPage == NotesSheet) {
        // No dialog here: without a printer the notes would go nowhere, and say nothing.
        if (!Printer().isValid())
            ShowStatus("Fehler beim Drucken");
        else
            NotesSheet->Print(Printer(), m_szOpenFileName);
    }
}

void TMainForm::StyleItemClick(const CStyleItem& item, QWidget* pPopupComponent)
{
    if (pPopupComponent == FunctionsSheet->FunctionsGrid()) {
        item.ClickFunction(*m_pDocument, m_pCurrentStep, FunctionsSheet->FunctionsGrid()->currentRow());
        FunctionsSheet->FunctionsGrid()->viewport()->update();
    } else if (pPopupComponent == OptionsSheet->BackgroundColorBox()) {
        if (item.ClickBackground(*m_pDocument))
            OptionsSheet->ShowBackgroundColor();
    }
}

void TMainForm::PageChanged(int nIndex)
{
    QWidget* pPage = PageControl->widget(nIndex);
    if (pPage == m_pShownPage)
        return;
    PageExit(m_pShownPage);
    m_pShownPage = pPage;
    PageEnter(pPage);
}

void TMainForm::PageEnter(QWidget* pPage)
{
    if (pPage == FunctionsSheet)
        FunctionsSheetEnter();
    else if (pPage == GraphicsSheet)
        GraphicsSheet->GraphicsSheetEnter();
    else if (pPage == NotesSheet)
        NotesSheet->NotesSheetEnter();
    else if (pPage == WetaSheet)
        WetaSheet->WetaSheetEnter();
    else if (pPage == DebugSheet)
        DebugSheet->DebugSheetEnter();
}

void TMainForm::PageExit(QWidget* pPage)
{
    if (pPage == FunctionsSheet)
        FunctionsSheetExit();
    else if (pPage == GraphicsSheet)
        GraphicsSheet->GraphicsSheetExit();
    else if (pPage == NotesSheet)
        NotesSheet->NotesSheetExit();
    else if (pPage == WetaSheet)
        WetaSheet->WetaSheetExit();
}

void TMainForm::FunctionsSheetEnter()
{
    CopyButton->setEnabled(true);
}

void TMainForm::FunctionsSheetExit()
{
    CopyButton->setEnabled(false);
}

void TMainForm::FormKeyDown(int nKey)
{
    switch (nKey) {
    case Qt::Key_F2: PageControl->setCurrentWidget(FunctionsSheet); break;
    case Qt::Key_F3: PageControl->setCurrentWidget(WetaSheet); break;
    case Qt::Key_F4: PageControl->setCurrentWidget(GraphicsSheet); break;
    case Qt::Key_Escape: GraphicsSheet->CancelRange(); break;
    default: break;
    }
}

bool TMainForm::eventFilter(QObject* pObject, QEvent* pEvent)
{
    // A key that a control ignores is delivered again to its parents, so the same press may pass
    // here more than once; showing a page is the same each time. The key is never consumed.
    if (pEvent->type() == QEvent::KeyPress && pObject->isWidgetType() &&
        static_cast<QWidget*>(pObject)->window() == this)
        FormKeyDown(static_cast<QKeyEvent*>(pEvent)->key());
    return QMainWindow::eventFilter(pObject, pEvent);
}
