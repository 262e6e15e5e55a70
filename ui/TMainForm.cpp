#include "ui/TMainForm.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QProgressDialog>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolBar>
#include <QToolButton>
#include <QUndoStack>
#include <QWheelEvent>
#include <algorithm>
#include <ctime>
#include <new>
#include <optional>

#include "expr/CFuncRandom.h"
#include "kurvix_version.h"
#include "project/CFileMessage.h"
#include "project/CProject.h"
#include "project/ELoadFuncError.h"
#include "project/ELoadSaveError.h"
#include "render/CMovieExport.h"
#include "render/CPictureExport.h"
#include "ui/CAboutDialog.h"
#include "ui/CAnsi.h"
#include "ui/CAutosave.h"
#include "ui/CColorBox.h"
#include "ui/CCurveTrace.h"
#include "ui/CFileName.h"
#include "ui/CFunctionsGraph.h"
#include "ui/CFunctionsPage.h"
#include "ui/CGraphPrint.h"
#include "ui/CGraphView.h"
#include "ui/CGraphicsPage.h"
#include "ui/CHelpWindow.h"
#include "ui/COptionsPage.h"
#include "ui/CParamSliders.h"
#include "ui/CPrintOptions.h"
#include "ui/CQuitSignals.h"
#include "ui/CRecentFiles.h"
#include "ui/CStepEditors.h"
#include "ui/CStylePopupMenu.h"
#include "ui/CToolIcons.h"
#include "ui/CUndoHistory.h"
#include "ui/CUserDialogs.h"

TMainForm::TMainForm(QWidget* pParent)
    : QMainWindow(pParent), m_pDialogs(std::make_unique<CUserDialogs>()), m_pDocument(std::make_unique<CProject>()),
      m_pHistory(new CUndoHistory(*this, this)), m_pRecentFiles(std::make_unique<CRecentFiles>()),
      m_pAutosave(new CAutosave(*this, this))
{
    setObjectName("MainForm");
    m_pDocument->UseNewDocumentFlags();
    CFuncRandom::Seed(static_cast<uint32_t>(std::time(nullptr)));

    auto* pToolBar = new QToolBar(this);
    pToolBar->setObjectName("ToolBar1");
    pToolBar->setMovable(false);
    pToolBar->setFloatable(false);
    pToolBar->setIconSize(QSize(22, 22));
    pToolBar->setContextMenuPolicy(Qt::PreventContextMenu);
    addToolBar(Qt::TopToolBarArea, pToolBar);

    FileNewAction = AddAction("FileNew", "&Neu", "Neu", {QKeySequence("Ctrl+N")});
    FileOpenAction = AddAction("FileOpen", "&\u00D6ffnen\u2026", "\u00D6ffnen", {QKeySequence("Ctrl+O")});
    FileSaveAction = AddAction("FileSave", "&Speichern", "Speichern", {QKeySequence("Ctrl+S")});
    FileSaveAsAction =
        AddAction("FileSaveAs", "Speichern &unter\u2026", "Speichern unter\u2026", {QKeySequence("Ctrl+Shift+S")});
    ExportAction = AddAction("Export", "&Bild exportieren\u2026", "Bild exportieren\u2026");
    AnimationExportAction = AddAction("AnimationExport", "&Animation exportieren\u2026", "Animation exportieren\u2026");
    PrintPreviewAction = AddAction("PrintPreview", "Druck&vorschau\u2026", "Druckvorschau", {}, false);
    PrintAction = AddAction("Print", "&Drucken\u2026", "Drucken", {QKeySequence("Ctrl+P")}, false);
    QuitAction = AddAction("Quit", "B&eenden", "Beenden", {QKeySequence("Ctrl+Q")});
    UndoAction = AddAction("Undo", "&R\u00FCckg\u00E4ngig", "R\u00FCckg\u00E4ngig", {QKeySequence("Ctrl+Z")}, false);
    RedoAction =
        AddAction("Redo", "&Wiederholen", "Wiederholen", {QKeySequence("Ctrl+Shift+Z"), QKeySequence("Ctrl+Y")}, false);
    CopyAction = AddAction("Copy", "&Kopieren", "Kopie in Zwischenablage", {QKeySequence("Ctrl+C")}, false);
    PasteAction = AddAction("Paste", "&Einf\u00FCgen", "Einf\u00FCgen aus Zwischenablage", {}, false);
    FontAction = AddAction("Font", "&Textformatierung\u2026", "Textformatierung", {}, false);
    GraphicsAction = AddAction("Graphics", "Grafik neu &zeichnen", "Grafik neu zeichnen");
    // Pause, skip and zoom act on the Grafik page; it enables them while it is shown.
    PauseAction = AddAction("Pause", "Animation &unterbrechen", "Animation unterbrechen", {}, false);
    SkipAction =
        AddAction("Skip", "Animationsschritt \u00FCber&springen", "Animationsschritt \u00FCberspringen", {}, false);
    // Ctrl and the + of the number pad or of the main keys, wherever a layout puts it, or the =
    // beneath it. Not also Ctrl+Shift+=: on a US layout that is the very press that gives Ctrl++,
    // and a press matching two sequences is ambiguous and does nothing.
    ZoominAction = AddAction("Zoomin", "&Vergr\u00F6\u00DFern", "Vergr\u00F6\u00DFern",
                             {QKeySequence("Ctrl++"), QKeySequence("Ctrl+=")}, false);
    ZoomoutAction = AddAction("Zoomout", "Verk&leinern", "Verkleinern", {QKeySequence("Ctrl+-")}, false);
    TraceAction = AddAction("Trace", "&Kurve verfolgen", "Kurve verfolgen", {}, false);
    TraceAction->setCheckable(true);
    // "Grafik neben den Funktionen", a preference of the window's rather than of the document.
    GraphBesideAction = AddAction("GraphBeside", "Grafik ne&ben den Funktionen", "Grafik neben den Funktionen");
    GraphBesideAction->setCheckable(true);
    GraphBesideAction->setChecked(QSettings().value(GRAPH_BESIDE_KEY, true).toBool());
    ManualAction = AddAction("Manual", "&Handbuch", "Handbuch", {QKeySequence(Qt::Key_F1)});
    FormulaOverviewAction = AddAction("FormulaOverview", "&Formel\u00FCbersicht", "Formel\u00FCbersicht");
    AboutAction = AddAction("About", "\u00DC&ber KURVIX", "\u00DCber KURVIX");

    FileNewButton = AddToolButton("FileNewButton", FileNewAction, CToolIcons::New);
    FileOpenButton = AddToolButton("FileOpenButton", FileOpenAction, CToolIcons::Open);
    FileSaveButton = AddToolButton("FileSaveButton", FileSaveAction, CToolIcons::Save);
    PrintButton = AddToolButton("PrintButton", PrintAction, CToolIcons::Print);
    pToolBar->addSeparator();
    CopyButton = AddToolButton("CopyButton", CopyAction, CToolIcons::Copy);
    PasteButton = AddToolButton("PasteButton", PasteAction, CToolIcons::Paste);
    FontButton = AddToolButton("FontButton", FontAction, CToolIcons::Font);
    pToolBar->addSeparator();
    GraphicsButton = AddToolButton("GraphicsButton", GraphicsAction, CToolIcons::Graphics);
    PauseButton = AddToolButton("PauseButton", PauseAction, CToolIcons::Pause);
    SkipButton = AddToolButton("SkipButton", SkipAction, CToolIcons::Skip);
    ZoominButton = AddToolButton("ZoominButton", ZoominAction, CToolIcons::ZoomIn);
    ZoomoutButton = AddToolButton("ZoomoutButton", ZoomoutAction, CToolIcons::ZoomOut);
    // Beyond the form's own buttons, so that those keep their places.
    pToolBar->addSeparator();
    UndoButton = AddToolButton("UndoButton", UndoAction, CToolIcons::Undo);
    RedoButton = AddToolButton("RedoButton", RedoAction, CToolIcons::Redo);
    ExportButton = AddToolButton("ExportButton", ExportAction, CToolIcons::Export);

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
    OnTriggered(GraphicsAction, [this] { GraphicsSheet->GraphicsButtonClick(); });
    OnTriggered(PauseAction, [this] { GraphicsSheet->PauseButtonClick(); });
    OnTriggered(SkipAction, [this] { GraphicsSheet->SkipButtonClick(); });
    // Zoom and trace act on the graph shown: the Grafik page's or the one beside the formulas.
    OnTriggered(ZoominAction, [this] {
        if (IsPageShown(FunctionsSheet))
            FunctionsSheet->Graph()->View()->Zoom(2.0);
        else
            GraphicsSheet->ZoominButtonClick();
    });
    OnTriggered(ZoomoutAction, [this] {
        if (IsPageShown(FunctionsSheet))
            FunctionsSheet->Graph()->View()->Zoom(0.5);
        else
            GraphicsSheet->ZoomoutButtonClick();
    });
    TraceButton = AddToolButton("TraceButton", TraceAction, CToolIcons::Trace);
    TraceButton->setPopupMode(QToolButton::MenuButtonPopup);
    auto* pTraceMenu = new QMenu(TraceButton);
    const auto ShownTrace = [this] {
        return IsPageShown(FunctionsSheet) ? FunctionsSheet->Graph()->View()->Trace() : GraphicsSheet->Trace;
    };
    pTraceMenu->setObjectName("TraceMenu");
    pTraceMenu->setTitle("Kurve &analysieren");
    TraceMenu = pTraceMenu;
    pTraceMenu->addAction("Nullstellen", this, [ShownTrace] { ShownTrace()->ShowRoots(); });
    pTraceMenu->addAction("Extrema", this, [ShownTrace] { ShownTrace()->ShowExtrema(); });
    pTraceMenu->addAction("Schnittpunkte\u2026", this, [ShownTrace] { ShownTrace()->ShowIntersections(); });
    pTraceMenu->addAction("Wendepunkte", this, [ShownTrace] { ShownTrace()->ShowInflections(); });
    pTraceMenu->addAction("Schnittpunkt mit der y-Achse", this, [ShownTrace] { ShownTrace()->ShowYIntercepts(); });
    pTraceMenu->addAction("Fl\u00E4che\u2026", this, [ShownTrace] { ShownTrace()->ShowArea(); });
    pTraceMenu->addSeparator();
    QAction* pTangent =
        pTraceMenu->addAction("Tangente und Normale", this, [ShownTrace](bool bOn) { ShownTrace()->SetTangent(bOn); });
    pTangent->setObjectName("TangentAction");
    pTangent->setCheckable(true);
    pTraceMenu->addAction("Markierungen l\u00F6schen", this, [ShownTrace] { ShownTrace()->ClearMarks(); });
    // Each graph keeps its own toggle: the menu shows that of the graph shown.
    connect(pTraceMenu, &QMenu::aboutToShow, this,
            [ShownTrace, pTangent] { pTangent->setChecked(ShownTrace()->TangentShown()); });
    TraceButton->setMenu(pTraceMenu);
    connect(TraceAction, &QAction::toggled, this, [ShownTrace](bool bOn) {
        CCurveTrace* pTrace = ShownTrace();
        if (bOn && !pTrace->IsOn())
            pTrace->Start();
        else if (!bOn && pTrace->IsOn())
            pTrace->End();
    });
    GraphBesideButton = AddToolButton("GraphBesideButton", GraphBesideAction, CToolIcons::GraphBeside);
    FunctionsSheet->ShowGraph(GraphBesideAction->isChecked());
    connect(GraphBesideAction, &QAction::toggled, this, [this](bool bOn) {
        FunctionsSheet->ShowGraph(bOn);
        QSettings().setValue(GRAPH_BESIDE_KEY, bOn);
    });
    connect(FunctionsSheet->StepEditors()->RunButton, &QToolButton::clicked, GraphicsSheet,
            &CGraphicsPage::RunButtonClick);
    connect(PageControl, &QTabWidget::currentChanged, this, &TMainForm::PageChanged);
    OnTriggered(FileNewAction, [this] { FileNewButtonClick(); });
    OnTriggered(FileOpenAction, [this] { FileOpenButtonClick(); });
    OnTriggered(FileSaveAction, [this] { FileSaveButtonClick(); });
    OnTriggered(FileSaveAsAction, [this] { FileSaveAsClick(); });
    OnTriggered(CopyAction, [this] { CopyButtonClick(); });
    OnTriggered(PrintAction, [this] { PrintButtonClick(); });
    OnTriggered(PrintPreviewAction, [this] { PrintPreviewClick(); });
    OnTriggered(PasteAction, [this] { NotesSheet->PasteButtonClick(); });
    OnTriggered(FontAction, [this] { NotesSheet->FontButtonClick(); });
    OnTriggered(ExportAction, [this] { ExportButtonClick(); });
    OnTriggered(AnimationExportAction, [this] { AnimationExportClick(); });
    OnTriggered(UndoAction, [this] { m_pHistory->Undo(); });
    OnTriggered(RedoAction, [this] { m_pHistory->Redo(); });
    connect(QuitAction, &QAction::triggered, this, &QWidget::close);
    connect(AboutAction, &QAction::triggered, this,
            [this] { m_pDialogs->About(this, "\u00DCber KURVIX", CAboutDialog::Text()); });
    connect(m_pHistory->Stack(), &QUndoStack::canUndoChanged, UndoAction, &QAction::setEnabled);
    connect(m_pHistory->Stack(), &QUndoStack::canRedoChanged, RedoAction, &QAction::setEnabled);
    // The preview goes with the printout: where there is nothing to print, there is nothing to see.
    connect(PrintAction, &QAction::enabledChanged, PrintPreviewAction, &QAction::setEnabled);
    // The open button's drop-down: the recent files, as they are when it opens.
    auto* pRecentMenu = new QMenu(FileOpenButton);
    pRecentMenu->setObjectName("RecentFilesMenu");
    FileOpenButton->setMenu(pRecentMenu);
    FileOpenButton->setPopupMode(QToolButton::MenuButtonPopup);
    // The save button's drop-down offers Speichern unter, with the key beside it.
    auto* pSaveMenu = new QMenu(FileSaveButton);
    pSaveMenu->addAction(FileSaveAsAction);
    FileSaveButton->setMenu(pSaveMenu);
    FileSaveButton->setPopupMode(QToolButton::MenuButtonPopup);
    CreateMenuBar();
    for (QMenu* pMenu : {pRecentMenu, RecentMenu}) {
        connect(pMenu, &QMenu::aboutToShow, this, [this, pMenu] { m_pRecentFiles->FillMenu(*pMenu); });
        connect(pMenu, &QMenu::triggered, this, [this](QAction* pAction) {
            if (pAction->data().isValid())
                RecentFileClick(pAction->data().toString());
        });
    }
    ConnectHelpActions();

    statusBar()->setObjectName("StatusBar1");
    statusBar()->setSizeGripEnabled(true);
    StatusBar1Panel = new QLabel(statusBar());
    StatusBar1Panel->setObjectName("StatusBar1Panel");
    StatusBar1Panel->setTextFormat(Qt::PlainText);
    statusBar()->addWidget(StatusBar1Panel, 1);

    // The form's client area is 592 x 460; larger where the platform's fonts need more room.
    setMinimumSize(600, 308);
    resize(sizeHint().expandedTo(QSize(592, 460 + menuBar()->sizeHint().height() + pToolBar->sizeHint().height() +
                                                statusBar()->sizeHint().height())));

    RestoreWindowState();

    // Key preview: the window sees every key before the focused control does.
    qApp->installEventFilter(this);
}

QAction* TMainForm::AddAction(const char* pszName, const QString& szMenuText, const QString& szHint,
                              const QList<QKeySequence>& keys, bool bEnabled)
{
    auto* pAction = new QAction(szMenuText, this);
    pAction->setObjectName(QString(pszName) + "Action");
    pAction->setEnabled(bEnabled);
    pAction->setShortcuts(keys);
    pAction->setShortcutContext(Qt::WindowShortcut);
    if (keys.isEmpty()) {
        pAction->setToolTip(szHint);
    } else {
        // The hint in German key names, whatever translation of Qt is installed.
        QString szKeys = keys.first().toString(QKeySequence::PortableText);
        szKeys.replace("Ctrl", "Strg").replace("Shift", "Umschalt");
        pAction->setToolTip(szHint + " (" + szKeys + ")");
    }
    // A window action: its keys work wherever the focus is in the window, also before the menu
    // bar is made and in a window without one.
    addAction(pAction);
    return pAction;
}

void TMainForm::OnTriggered(QAction* pAction, const std::function<void()>& command)
{
    connect(pAction, &QAction::triggered, this, [this, command] {
        m_pHistory->NewGesture();
        command();
    });
}

void TMainForm::CreateMenuBar()
{
    QMenuBar* pBar = menuBar();
    pBar->setObjectName("MenuBar");
    FileMenu = pBar->addMenu("&Datei");
    FileMenu->setObjectName("FileMenu");
    FileMenu->addAction(FileNewAction);
    FileMenu->addAction(FileOpenAction);
    RecentMenu = FileMenu->addMenu("&Zuletzt ge\u00F6ffnet");
    RecentMenu->setObjectName("RecentMenu");
    FileMenu->addAction(FileSaveAction);
    FileMenu->addAction(FileSaveAsAction);
    FileMenu->addSeparator();
    FileMenu->addAction(ExportAction);
    FileMenu->addAction(AnimationExportAction);
    FileMenu->addSeparator();
    FileMenu->addAction(PrintPreviewAction);
    FileMenu->addAction(PrintAction);
    FileMenu->addSeparator();
    FileMenu->addAction(QuitAction);

    EditMenu = pBar->addMenu("&Bearbeiten");
    EditMenu->setObjectName("EditMenu");
    EditMenu->addAction(UndoAction);
    EditMenu->addAction(RedoAction);
    EditMenu->addSeparator();
    EditMenu->addAction(CopyAction);
    EditMenu->addAction(PasteAction);
    EditMenu->addSeparator();
    EditMenu->addAction(FontAction);

    ViewMenu = pBar->addMenu("&Ansicht");
    ViewMenu->setObjectName("ViewMenu");
    // The pages' keys F2 to F4 are the window's own (FormKeyDown), which leaves them to the focused
    // control as well; the entries only name them.
    PageActions = new QActionGroup(this);
    PageActions->setExclusive(true);
    const char* const pszPages[] = {"&Funktionen\tF2", "&Einstellungen", "&Notizen",
                                    "&Wertetafel\tF3", "&Grafik\tF4",    "&Debug"};
    for (int n = 0; n < PageControl->count(); ++n) {
        QAction* pPage = ViewMenu->addAction(pszPages[n]);
        pPage->setObjectName(PageControl->widget(n)->objectName() + "Action");
        pPage->setCheckable(true);
        pPage->setChecked(n == PageControl->currentIndex());
        PageActions->addAction(pPage);
        connect(pPage, &QAction::triggered, this, [this, n] { PageControl->setCurrentIndex(n); });
    }
    ViewMenu->addSeparator();
    ViewMenu->addAction(GraphBesideAction);
    ViewMenu->addSeparator();
    ViewMenu->addAction(GraphicsAction);
    ViewMenu->addAction(PauseAction);
    ViewMenu->addAction(SkipAction);
    ViewMenu->addAction(TraceAction);
    ViewMenu->addMenu(TraceMenu);
    TraceMenu->menuAction()->setObjectName("TraceMenuAction");
    TraceMenu->menuAction()->setEnabled(TraceAction->isEnabled());
    connect(TraceAction, &QAction::enabledChanged, TraceMenu->menuAction(), &QAction::setEnabled);
    ViewMenu->addSeparator();
    ViewMenu->addAction(ZoominAction);
    ViewMenu->addAction(ZoomoutAction);

    HelpMenu = pBar->addMenu("&Hilfe");
    HelpMenu->setObjectName("HelpMenu");
    HelpMenu->addAction(ManualAction);
    HelpMenu->addAction(FormulaOverviewAction);
    HelpMenu->addSeparator();
    HelpMenu->addAction(AboutAction);
}

void TMainForm::ConnectHelpActions()
{
    connect(ManualAction, &QAction::triggered, this, [this] { ShowHelp(HelpTopic()); });
    connect(FormulaOverviewAction, &QAction::triggered, this, [this] { ShowHelp("formeln.html"); });
}

QString TMainForm::HelpTopic() const
{
    const QWidget* pPage = PageControl->currentWidget();
    if (pPage == OptionsSheet)
        return "einstellungen.html";
    if (pPage == NotesSheet)
        return "notizen.html";
    if (pPage == WetaSheet)
        return "wertetafel.html";
    if (pPage == GraphicsSheet)
        return "grafik.html";
    if (pPage == DebugSheet)
        return "debug.html";
    return "funktionen.html";
}

void TMainForm::ShowHelp(const QString& szPage)
{
    if (!m_pHelpWindow)
        m_pHelpWindow = new CHelpWindow(this);
    m_pHelpWindow->ShowTopic(szPage);
}

void TMainForm::RestoreWindowState()
{
    QSettings settings;
    const QByteArray geometry = settings.value("Window/Geometry").toByteArray();
    // Without a saved place the window's own size is fitted all the same (the graph beside the
    // formulas makes it wide).
    if (!geometry.isEmpty() && !restoreGeometry(geometry))
        return;
    // A window saved on a screen that is gone comes back on the primary one.
    const QScreen* pScreen = QGuiApplication::screenAt(frameGeometry().center());
    if (!pScreen && QGuiApplication::primaryScreen())
        move(QGuiApplication::primaryScreen()->availableGeometry().topLeft());
    // One saved at another scale (QT_SCALE_FACTOR) or on a larger screen fits the screen now.
    pScreen = QGuiApplication::screenAt(frameGeometry().center());
    if (!pScreen)
        pScreen = QGuiApplication::primaryScreen();
    if (!pScreen)
        return;
    const QRect available = pScreen->availableGeometry();
    const QSize frame = frameGeometry().size() - size(); // title bar and borders
    const QSize fitted = size().boundedTo(available.size() - frame).expandedTo(minimumSize());
    if (fitted != size())
        resize(fitted);
    QRect placed = frameGeometry();
    placed.moveLeft(std::max(available.left(), std::min(placed.left(), available.right() - placed.width() + 1)));
    placed.moveTop(std::max(available.top(), std::min(placed.top(), available.bottom() - placed.height() + 1)));
    if (placed.topLeft() != frameGeometry().topLeft())
        move(placed.topLeft());
}

void TMainForm::SaveWindowState() const
{
    QSettings settings;
    settings.setValue("Window/Geometry", saveGeometry());
    settings.setValue("Window/Page", PageControl->currentIndex());
}

TMainForm::~TMainForm()
{
    qApp->removeEventFilter(this);
}

QToolButton* TMainForm::AddToolButton(const char* pszName, QAction* pAction, int nIcon)
{
    pAction->setIcon(CToolIcons::Make(static_cast<CToolIcons::EIcon>(nIcon)));
    auto* pButton = new QToolButton(this);
    pButton->setObjectName(pszName);
    pButton->setDefaultAction(pAction);
    // Read out without the keys.
    QString szName = pAction->toolTip();
    if (!pAction->shortcuts().isEmpty())
        szName.truncate(szName.lastIndexOf(" ("));
    pButton->setAccessibleName(szName);
    pButton->setAutoRaise(true);
    pButton->setFocusPolicy(Qt::NoFocus);
    findChild<QToolBar*>("ToolBar1")->addWidget(pButton);
    return pButton;
}

void TMainForm::FormCreate(const QString& szFileName)
{
    ShowCaption(QString());
    FunctionsSheet->WriteVariablesHeadings();
    StylePopupMenu = new CStylePopupMenu(*this, m_pDocument->m_nPaletteSize, this);
    StylePopupMenu->SetClickHandler(
        [this](const CStyleItem& item, QWidget* pComponent) { StyleItemClick(item, pComponent); });
    FormResize();
    if (!szFileName.isEmpty())
        OpenProject(szFileName);
    RefreshAllViews();
    m_pHistory->Reset();
    OfferRecovery();
    m_pAutosave->Start();
    PageControl->setCurrentWidget(FunctionsSheet);
    FunctionsSheet->VariablesBox()->setFocus();
    repaint();
    FunctionsSheet->FunctionsGrid()->setFocus();
    FunctionsSheetEnter();
    // The notes page the last window was closed on, where there are notes to read; any other
    // page (an empty Notizen page, a Grafik page that would draw before anything is typed) is no
    // place to begin.
    const int nPage = QSettings().value("Window/Page", 0).toInt();
    if (PageControl->widget(nPage) == NotesSheet && m_pDocument->m_pszNotes && NotesSheet->ShowsNotes())
        PageControl->setCurrentWidget(NotesSheet);
}

QAction* TMainForm::CommandAction(ECommand eCommand) const
{
    QAction* const pActions[] = {CopyAction, PasteAction,  PrintAction,   FontAction, PauseAction,
                                 SkipAction, ZoominAction, ZoomoutAction, TraceAction};
    static_assert(sizeof pActions / sizeof pActions[0] == COMMAND_COUNT, "one action per command");
    return pActions[eCommand];
}

void TMainForm::EnableCommand(ECommand eCommand, bool bEnabled)
{
    CommandAction(eCommand)->setEnabled(bEnabled);
}

void TMainForm::CheckCommand(ECommand eCommand, bool bChecked)
{
    // (Asked also while the window builds its toolbar.)
    QAction* pAction = CommandAction(eCommand);
    if (pAction && pAction->isChecked() != bChecked)
        pAction->setChecked(bChecked);
}

bool TMainForm::IsPageShown(const QWidget* pPage) const
{
    return PageControl->currentWidget() == pPage;
}

void TMainForm::ShowPage(QWidget* pPage)
{
    PageControl->setCurrentWidget(pPage);
}

void TMainForm::RangesChanged()
{
    OptionsSheet->FillOptionsPage();
}

void TMainForm::PopupStyleMenu(QWidget* pControl, const QPoint& pos)
{
    StylePopupMenu->Popup(pControl, pos, pControl == OptionsSheet->BackgroundColorBox());
}

void TMainForm::ShowStatus(const QString& szText)
{
    if (StatusBar1Panel->text() == szText)
        return;
    StatusBar1Panel->setText(szText);
    StatusBar1Panel->setToolTip(szText); // a text wider than the window is read here whole
    statusBar()->repaint();              // visible at once, also before a long computation
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

QString TMainForm::LoadProject(CProject& project, const QString& szFileName)
{
    const QString szPrefix = "Fehler beim Laden von " + szFileName;
    try {
        project.Load(CFileName::Encode(szFileName).constData());
    } catch (const ELoadSaveError& error) {
        return QString::fromStdString(CFileMessage::Load(szFileName.toStdString(), error));
    } catch (const ELoadFuncError& error) {
        return szPrefix + ": " + Ansi::ToQString(error.m_pszMessage) + " " + Ansi::ToQString(error.Location());
    } catch (const EFuncError& error) {
        return szPrefix + ": " + Ansi::ToQString(error.m_pszMessage);
    } catch (const std::bad_alloc&) {
        return QString::fromStdString(CFileMessage::Load(szFileName.toStdString(), {0, EFileCause::OutOfMemory}));
    }
    return QString();
}

bool TMainForm::OpenProject(const QString& szFileName)
{
    auto pProject = std::make_unique<CProject>();
    const QString szError = LoadProject(*pProject, szFileName);
    if (!szError.isEmpty()) {
        pProject.reset(); // what a failed load holds gives the message room
        m_pDialogs->Warning(this, szError);
        return false;
    }
    m_szFileName = szFileName;
    m_szOpenFileName = szFileName; // also for a file named on the command line
    ShowCaption(szFileName);
    ReplaceDocument(std::move(pProject), true);
    m_pHistory->Reset();
    m_pAutosave->Discard();
    RememberFile(szFileName);
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
    m_szFailedName.clear();
    // What the status line said was about the old document (a formula that did not compile).
    ShowStatus(QString());
    RefreshAllViews();
    QWidget* pPage = PageControl->currentWidget();
    // Notes that show no text (an emptied editor, the empty notes of a legacy file) are no notes
    // worth opening on.
    if (bChoosePage)
        pPage =
            m_pDocument->m_pszNotes && NotesSheet->ShowsNotes() ? static_cast<QWidget*>(NotesSheet) : FunctionsSheet;
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
    auto pProject = std::make_unique<CProject>();
    pProject->UseNewDocumentFlags();
    ReplaceDocument(std::move(pProject), false);
    m_szFileName.clear();
    ShowCaption(m_szFileName);
    m_pHistory->Reset();
    m_pAutosave->Discard();
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
    // Speichern writes to the document's own file without asking, as every desktop program does;
    // only a document without one asks for a name, and so does a legacy file, which is never
    // written in its own format.
    return SaveDocument(m_szFileName.isEmpty() || m_szFileName.endsWith(".kvo", Qt::CaseInsensitive));
}

bool TMainForm::SaveDocument(bool bAskName)
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
    if (!bAskName)
        return SaveProject(m_szFileName);
    // Only the current format is written, and a file of it loads back only under ".kvx": a
    // legacy name is proposed, and taken, with that extension.
    const auto CurrentFormatName = [](QString szName) {
        if (szName.endsWith(".kvo", Qt::CaseInsensitive))
            szName.chop(4), szName += ".kvx";
        return szName;
    };
    const QString szProposed = m_szFailedName.isEmpty() ? m_szFileName : m_szFailedName;
    const QString szChosen = m_pDialogs->SaveFileName(this, CurrentFormatName(szProposed), "KURVIX-Dateien (*.kvx)");
    const QString szName = CurrentFormatName(szChosen);
    if (szName.isEmpty())
        return false;
    // The dialog asked about the name chosen there, not about the one written instead.
    if (szName != szChosen && CFileName::Exists(szName) &&
        !m_pDialogs->Question(this, QCoreApplication::applicationName(),
                              szName + " existiert bereits.\nSoll die Datei ersetzt werden?"))
        return false;
    // A name the document could not be written to is not its file: the next Speichern does not
    // go there without asking, but the dialog proposes it again.
    if (!SaveProject(szName)) {
        m_szFailedName = szName;
        return false;
    }
    return true;
}

void TMainForm::FileSaveAsClick()
{
    SaveDocument(true);
}

void TMainForm::RecentFileClick(const QString& szFileName)
{
    if (!QuerySave())
        return;
    m_szOpenFileName = szFileName;
    if (!OpenProject(szFileName) && !CFileName::Exists(szFileName))
        m_pRecentFiles->Remove(szFileName); // gone: no use offering it again
}

void TMainForm::RememberFile(const QString& szFileName)
{
    m_pRecentFiles->Add(szFileName);
}

bool TMainForm::SaveProject(const QString& szFileName)
{
    std::optional<ELoadSaveError> failure;
    try {
        m_pDocument->Save(CFileName::Encode(szFileName).constData());
    } catch (const ELoadSaveError& error) {
        failure = error;
    } catch (const std::bad_alloc&) {
        failure = ELoadSaveError{0, EFileCause::OutOfMemory};
    }
    if (failure) {
        m_pDialogs->Warning(this, QString::fromStdString(CFileMessage::Save(szFileName.toStdString(), *failure)));
        return false;
    }
    m_szFileName = szFileName;
    m_szFailedName.clear();
    ShowCaption(szFileName);
    NotesSheet->NotesSaved();
    m_pHistory->SetClean();
    m_pAutosave->Discard();
    RememberFile(szFileName);
    return true;
}

bool TMainForm::FormCloseQuery()
{
    return QuerySave();
}

void TMainForm::CloseOnSignals()
{
    auto* pSignals = new CQuitSignals(this);
    connect(pSignals, &CQuitSignals::Received, this, &TMainForm::EndBySignal);
}

void TMainForm::EndBySignal()
{
    if (m_bEnding)
        return;
    m_bEnding = true;
    // Nobody may be there to answer a question (the session ends): the work goes to the recovery
    // file, offered at the next start, as after a crash, and the window keeps its place.
    m_pAutosave->Leave();
    SaveWindowState();
    // A dialog that waits for an answer is cancelled, so that the command that asked stops.
    for (int n = 0; n < 10; ++n) {
        QWidget* pModal = QApplication::activeModalWidget();
        if (!pModal || pModal == this)
            break;
        pModal->close();
    }
    close();
}

void TMainForm::closeEvent(QCloseEvent* pEvent)
{
    if (m_bEnding) {
        pEvent->accept();
        return;
    }
    pEvent->setAccepted(FormCloseQuery());
    if (pEvent->isAccepted()) {
        SaveWindowState();
        m_pAutosave->Discard();
    }
}

void TMainForm::OfferRecovery()
{
    // Each orphan is this window's to offer while the list lives: a window started at the same
    // time passes it over.
    const QList<CAutosave::SRecovery> orphans = CAutosave::Orphans();
    for (const CAutosave::SRecovery& recovery : orphans) {
        const QString szWhat = recovery.m_szOriginal.isEmpty() ? QString("ein noch nie gespeichertes Projekt")
                                                               : "\u201E" + recovery.m_szOriginal + "\u201C";
        const QString szText = "KURVIX wurde nicht regul\u00E4r beendet. F\u00FCr " + szWhat +
                               " gibt es eine automatische Sicherung vom " +
                               recovery.m_Time.toString("dd.MM.yyyy, HH:mm") + " Uhr.\n\nWiederherstellen?";
        const bool bRestore = m_pDialogs->Question(this, QCoreApplication::applicationName(), szText);
        if (m_bEnding)
            return; // the question was cancelled by a signal, not answered: offered again next time
        if (!bRestore) {
            CAutosave::Forget(recovery);
            continue;
        }
        auto pProject = std::make_unique<CProject>();
        const QString szError = LoadProject(*pProject, recovery.m_szFile);
        if (!szError.isEmpty()) {
            // The work may still be in it: kept where the user can find it, not offered again.
            const QString szKept = CAutosave::Keep(recovery);
            m_pDialogs->Warning(this, "Die automatische Sicherung l\u00E4sst sich nicht laden.\n" + szError +
                                          "\n\nSie bleibt erhalten unter:\n" + szKept);
            continue;
        }
        ReplaceDocument(std::move(pProject), false);
        m_szFileName = recovery.m_szOriginal;
        if (!m_szFileName.isEmpty())
            ShowCaption(m_szFileName);
        // What came back is not what the file holds, whatever undo does.
        m_pHistory->Reset();
        m_pHistory->Stack()->resetClean();
        m_pDocument->m_bModified = true;
        m_pAutosave->Start();
        m_pAutosave->AutosaveNow(); // the restored work is safe again at once
        CAutosave::Forget(recovery);
        return;
    }
}

void TMainForm::RestoreDocument(std::unique_ptr<CProject> pProject)
{
    const int nStep = FunctionsSheet->StepEditors()->StepsBox()->currentRow();
    QTableWidget* pGrid = FunctionsSheet->FunctionsGrid();
    const int nRow = pGrid->currentRow();
    const int nColumn = pGrid->currentColumn();
    QWidget* pPage = m_pShownPage;
    PageExit(pPage); // a drawing job points into the old document
    m_pCurrentStep = nullptr;
    m_pDocument = std::move(pProject);
    // The pages but the notes, whose editor keeps its text, cursor and own undo.
    FunctionsSheet->FillFunctionsGrid(true);
    FunctionsSheet->FillStepsBox();
    const int nSteps = FunctionsSheet->StepEditors()->StepsBox()->rowCount();
    FunctionsSheet->SelectStep(nStep > 0 && nStep < nSteps ? nStep : 0);
    OptionsSheet->FillOptionsPage();
    if (nRow >= 0)
        pGrid->setCurrentCell(nRow, nColumn);
    // The view that comes back is the one taken back to: no new range determination.
    if (pPage == GraphicsSheet)
        GraphicsSheet->GraphicsSheetEnter(false);
    else
        PageEnter(pPage);
}

void TMainForm::ExportButtonClick()
{
    QString szName = m_szExportFileName;
    if (szName.isEmpty() && !m_szFileName.isEmpty()) {
        szName = m_szFileName;
        const int nDot = szName.lastIndexOf('.');
        if (nDot > szName.lastIndexOf('/'))
            szName.truncate(nDot);
        szName += ".png";
    }
    QSize size = GraphicsSheet->PaintBoxSize();
    if (PageControl->currentWidget() != GraphicsSheet)
        size = QSize(584, 387); // the page's size in the form, as kurvix --export draws it
    // The marks of the analysis belong to the graph shown; the picture gets them only on request.
    const CCurveTrace* pTrace =
        IsPageShown(FunctionsSheet) ? FunctionsSheet->Graph()->View()->Trace() : GraphicsSheet->Trace;
    bool bMarks = false;
    if (!m_pDialogs->PictureFile(this, szName, size, &bMarks))
        return;
    if (CPictureExport::FormatOf(szName.toStdString()) == CPictureExport::EFormat::Unknown)
        szName += ".png";
    if (CFileName::Exists(szName) &&
        !m_pDialogs->Question(this, QCoreApplication::applicationName(),
                              szName + " existiert bereits.\nSoll die Datei ersetzt werden?"))
        return;
    m_szExportFileName = szName;
    // The picture of the document as its file would draw it; the range it determines stays the
    // picture's, so the window's own view and modified flag are as they were.
    bool bNothingToDraw = false;
    EFileCause eCause = EFileCause::WriteError;
    std::string szWhy;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool bOk = CPictureExport::Export(*m_pDocument, CFileName::Encode(szName).toStdString(), size.width(),
                                            size.height(), bNothingToDraw, &eCause, &szWhy,
                                            bMarks && !pTrace->Marks().Empty() ? &pTrace->Marks() : nullptr);
    QApplication::restoreOverrideCursor();
    if (!bOk)
        m_pDialogs->Warning(
            this, QString::fromStdString(CFileMessage::Save(szName.toStdString(), {0, eCause},
                                                            ("Fehler beim Exportieren von " + szName).toStdString())));
    else if (bNothingToDraw) // the file holds background and grid; why, in the Grafik page's words
        ShowStatus("Bild ohne Kurven gespeichert: " + szName + " \u2013 " + Ansi::ToQString(szWhy));
    else
        ShowStatus("Bild gespeichert: " + szName);
}

void TMainForm::AnimationExportClick()
{
    QString szName = m_szMovieFileName;
    if (szName.isEmpty() && !m_szFileName.isEmpty()) {
        szName = m_szFileName;
        const int nDot = szName.lastIndexOf('.');
        if (nDot > szName.lastIndexOf('/'))
            szName.truncate(nDot);
        szName += ".gif";
    }
    QSize size = GraphicsSheet->PaintBoxSize();
    if (PageControl->currentWidget() != GraphicsSheet)
        size = QSize(584, 387); // the page's size in the form, as kurvix --export draws it
    int nFps = m_nMovieFps;
    if (!m_pDialogs->MovieFile(this, szName, size, nFps))
        return;
    if (CMovieExport::FormatOf(szName.toStdString()) == CMovieExport::EFormat::Unknown)
        szName += ".gif";
    if (CFileName::Exists(szName) &&
        !m_pDialogs->Question(this, QCoreApplication::applicationName(),
                              szName + " existiert bereits.\nSoll die Datei ersetzt werden?"))
        return;
    m_szMovieFileName = szName;
    m_nMovieFps = nFps;
    // The window waits under the progress dialog, which alone takes input; the film is drawn
    // from the document as its file would draw it, so the window's view stays as it was.
    QProgressDialog progress("Exportiere Animation\u2026", "Abbrechen", 0, 1000, this);
    progress.setObjectName("MovieProgress");
    progress.setWindowTitle("Animation exportieren");
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    CMovieExport::SResult result;
    const bool bOk = CMovieExport::Export(
        *m_pDocument, CFileName::Encode(szName).toStdString(), size.width(), size.height(), static_cast<uint32_t>(nFps),
        result, [&](double dAt, double dLength) {
            progress.setValue(dLength > 0.0 ? static_cast<int>(std::min(999.0, dAt / dLength * 1000.0)) : 0);
            // A signal that ends the program closes the dialog, which stops the export too.
            return !progress.wasCanceled() && !m_bEnding;
        });
    progress.close();
    if (result.bCancelled)
        ShowStatus("Export der Animation abgebrochen; " + szName + " ist unver\u00E4ndert");
    else if (!result.szMissingEncoder.empty())
        m_pDialogs->Warning(this, "Fehler beim Exportieren von " + szName + "\nFFmpeg fehlt der Kodierer " +
                                      QString::fromStdString(result.szMissingEncoder));
    else if (!bOk)
        m_pDialogs->Warning(
            this, QString::fromStdString(CFileMessage::Save(szName.toStdString(), {0, result.eCause},
                                                            ("Fehler beim Exportieren von " + szName).toStdString())));
    else if (result.bNothingToDraw)
        ShowStatus("Animation ohne Kurven gespeichert: " + szName + " \u2013 " + Ansi::ToQString(result.szWhy));
    else if (result.bApproximated)
        ShowStatus("Animation gespeichert: " + szName +
                   " (mehr als 256 Farben in einem Bild, die Farben sind gen\u00E4hert)");
    else
        ShowStatus("Animation gespeichert: " + szName);
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
        if (!m_pDialogs->PrintSetup(this, Printer(), true))
            return;
        if (!CGraphPrint::Print(
                Printer(), *m_pDocument, GraphicsSheet->DrawVars(), GraphicsSheet->PaintBoxSize(), nullptr,
                [this](CPictureJob& job) { GraphicsSheet->Sliders->SelectMembers(job); }, PrintCaptions()))
            ShowStatus("Fehler beim Drucken");
    } else if (pPage == NotesSheet) {
        // The print dialog, as for the graph: without it the notes went to a default printer
        // that may not exist, and nothing was seen to happen.
        if (!m_pDialogs->PrintSetup(this, Printer(), false))
            return;
        if (!Printer().isValid()) {
            ShowStatus("Fehler beim Drucken");
            return;
        }
        NotesSheet->Print(Printer(), m_szOpenFileName);
        ShowStatus(Printer().outputFileName().isEmpty() ? QString("Notizen gedruckt")
                                                        : "Notizen gedruckt in " + Printer().outputFileName());
    }
}

void TMainForm::PrintPreviewClick()
{
    QWidget* pPage = PageControl->currentWidget();
    if (pPage == GraphicsSheet) {
        // The screen's drawing goes on meanwhile; each page shows how far it has come.
        m_pDialogs->PrintPreview(this, Printer(), true, [this](QPrinter* pPrinter) {
            if (!CGraphPrint::Print(
                    *pPrinter, *m_pDocument, GraphicsSheet->DrawVars(), GraphicsSheet->PaintBoxSize(), nullptr,
                    [this](CPictureJob& job) { GraphicsSheet->Sliders->SelectMembers(job); }, PrintCaptions()))
                ShowStatus("Fehler beim Drucken");
        });
    } else if (pPage == NotesSheet) {
        m_pDialogs->PrintPreview(this, Printer(), false,
                                 [this](QPrinter* pPrinter) { NotesSheet->Print(*pPrinter, m_szOpenFileName); });
    }
}

SPrintCaptions TMainForm::PrintCaptions() const
{
    SPrintCaptions captions;
    if (CPrintOptions::Title())
        captions.m_szTitle = m_szFileName.isEmpty() ? QString("Unbenannt") : QFileInfo(m_szFileName).completeBaseName();
    if (CPrintOptions::Formulas())
        captions.m_Formulas = CGraphPrint::VisibleFormulas(*m_pDocument);
    return captions;
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
    if (QAction* pPageAction = PageActions->actions().value(nIndex))
        pPageAction->setChecked(true);
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
    CopyAction->setEnabled(true);
    FunctionsSheet->FunctionsSheetEnter();
}

void TMainForm::FunctionsSheetExit()
{
    CopyAction->setEnabled(false);
    FunctionsSheet->FunctionsSheetExit();
}

void TMainForm::FormKeyDown(int nKey)
{
    switch (nKey) {
    case Qt::Key_F2: PageControl->setCurrentWidget(FunctionsSheet); break;
    case Qt::Key_F3: PageControl->setCurrentWidget(WetaSheet); break;
    case Qt::Key_F4: PageControl->setCurrentWidget(GraphicsSheet); break;
    case Qt::Key_Escape:
        // Stops whatever runs; the key may pass here more than once, and stopping is the same.
        GraphicsSheet->Cancel();
        GraphicsSheet->Trace->End();
        FunctionsSheet->Graph()->View()->Trace()->End();
        FunctionsSheet->Graph()->Sliders->Stop();
        WetaSheet->Cancel();
        break;
    default: break;
    }
}

bool TMainForm::eventFilter(QObject* pObject, QEvent* pEvent)
{
    // Whatever an input event changed in the document becomes an undo step once it is handled.
    switch (pEvent->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::FocusIn:
        // What the last gesture changed is its step; whatever follows is a new one.
        m_pHistory->NoteChanges();
        m_pHistory->NewGesture();
        break;
    case QEvent::KeyPress:
    case QEvent::KeyRelease: m_pHistory->Input(QApplication::focusWidget()); break;
    case QEvent::MouseButtonRelease: m_pHistory->Input(pObject); break;
    case QEvent::Wheel: {
        // A wheel event the widget ignores goes on to its parents: the widget under the pointer
        // stays the target throughout.
        QWidget* pUnder = QApplication::widgetAt(static_cast<QWheelEvent*>(pEvent)->globalPosition().toPoint());
        m_pHistory->Input(pUnder ? static_cast<QObject*>(pUnder) : pObject);
        break;
    }
    default: break;
    }
    // A key that a control ignores is delivered again to its parents, so the same press may pass
    // here more than once; showing a page is the same each time. The key is never consumed.
    if (pEvent->type() == QEvent::KeyPress && pObject->isWidgetType() &&
        static_cast<QWidget*>(pObject)->window() == this)
        FormKeyDown(static_cast<QKeyEvent*>(pEvent)->key());
    return QMainWindow::eventFilter(pObject, pEvent);
}
