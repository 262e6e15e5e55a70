#pragma once
// The main window: owns the document, the toolbar, the six pages and the status line.
#include <QMainWindow>
#include <functional>
#include <memory>

// The pages are complete types here, so that every user of the window sees them as QWidgets.
#include "ui/CDebugPage.h"
#include "ui/CDocumentHost.h"
#include "ui/CGraphPrint.h"
#include "ui/CGraphicsPage.h"
#include "ui/CNotesPage.h"
#include "ui/CPageFrame.h"
#include "ui/CWetaPage.h"

class QAction;
class QActionGroup;
class QKeySequence;
class QLabel;
class QMenu;
class QPrinter;
class QTabWidget;
class QToolButton;
class CAnimationStep;
class CFunctionsPage;
class CGraphicsPage;
class COptionsPage;
class CProject;
class CStyleItem;
class CAutosave;
class CRecentFiles;
class CStylePopupMenu;
class CUndoHistory;
class CUserDialogs;
class CHelpWindow;

class TMainForm : public QMainWindow, public CPageFrame, public CDocumentHost {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* pParent = nullptr);
    ~TMainForm() override;

    // Start-up after construction: caption, style menu, the project named on the command line.
    void FormCreate(const QString& szFileName = QString());

    // Shows a text in the status line and repaints it at once; the same text again does nothing.
    void ShowStatus(const QString& szText) override;
    QString StatusText() const;

    // The frame of the pages and the host of the helpers.
    CProject& Document() const override { return *m_pDocument; }
    QString FileName() const override { return m_szFileName; }
    CAnimationStep* CurrentStep() const override { return m_pCurrentStep; }
    void SetCurrentStep(CAnimationStep* pStep) override { m_pCurrentStep = pStep; }
    bool IsUpdating() const override { return m_bUpdating; }
    void SetUpdating(bool bUpdating) override { m_bUpdating = bUpdating; }
    void EnableCommand(ECommand eCommand, bool bEnabled) override;
    void CheckCommand(ECommand eCommand, bool bChecked) override;
    bool IsPageShown(const QWidget* pPage) const override;
    void ShowPage(QWidget* pPage) override;
    void RangesChanged() override;
    void PopupStyleMenu(QWidget* pControl, const QPoint& pos) override;
    CUserDialogs& Dialogs() const override { return *m_pDialogs; }

    void RefreshAllViews();
    void FormResize();

    // Loads a file into a new document and adopts it on success (see the document commands).
    bool OpenProject(const QString& szFileName);

    // The document commands.
    void FileNewButtonClick();
    void FileOpenButtonClick();
    // Writes to the document's file; asks for a name only where it has none. True when the
    // document was written.
    bool FileSaveButtonClick();
    // Asks about unsaved changes. False when the command that asked must stop: the user chose
    // Abbrechen, or wanted to save and the save did not happen (dialog cancelled, save failed).
    bool QuerySave();
    // Speichern unter: the dialog always asks for the name.
    void FileSaveAsClick();
    // Opens one of the recent files (the open button's drop-down).
    void RecentFileClick(const QString& szFileName);
    bool SaveProject(const QString& szFileName);
    // Asks about unsaved changes; false refuses the closing.
    bool FormCloseQuery();
    // From now on SIGTERM and SIGHUP end the window as a close does, without a question: the work
    // stays in the recovery file for the next start.
    void CloseOnSignals();
    // What such a signal does, on the window's thread.
    void EndBySignal();
    bool EndedBySignal() const { return m_bEnding; }

    // Copy and print act on the page shown.
    void CopyButtonClick();
    void PrintButtonClick();
    // Druckvorschau: the printout of the page shown, as Drucken makes it.
    void PrintPreviewClick();
    // What a printout of the graph carries beside it, as the print options ask.
    SPrintCaptions PrintCaptions() const;
    // The one printer of the window, made on first use; tests point it at a file.
    QPrinter& Printer();

    // The finished picture as a PNG, SVG or PDF file of a chosen size, as kurvix --export draws it.
    void ExportButtonClick();
    // The animation as a GIF, WebM or MP4 film of a chosen size and frame rate, as kurvix --export
    // plays it, with a progress dialog that can stop it.
    void AnimationExportClick();

    // The handbook at a page of its own (a file such as "formeln.html"), in its window, which is
    // made on first use; F1 opens it at HelpTopic(), the topic of the page in front.
    void ShowHelp(const QString& szPage);
    QString HelpTopic() const;
    CHelpWindow* HelpWindow() const { return m_pHelpWindow; }

    // Makes pProject the document in place of the current one, keeping the page, the selected
    // step, the view and the notes' editor as they are (undo and redo).
    void RestoreDocument(std::unique_ptr<CProject> pProject) override;
    CUndoHistory& History() override { return *m_pHistory; }
    CRecentFiles& RecentFiles() { return *m_pRecentFiles; }
    CAutosave& Autosave() { return *m_pAutosave; }

    // What the style menu's items do, by the control that opened it.
    void StyleItemClick(const CStyleItem& item, QWidget* pPopupComponent);

    std::unique_ptr<CUserDialogs> m_pDialogs; // tests put their own answers here
    std::unique_ptr<CProject> m_pDocument;
    CAnimationStep* m_pCurrentStep = nullptr;
    bool m_bUpdating = false;
    QString m_szFileName;     // the document's file: opened, or saved to last
    QString m_szOpenFileName; // the last name chosen in the open dialog

    // Every command is one action, shared by its toolbar button (which mirrors its state) and
    // its menu entry, and holds the command's keys: a key lives on one action only, else Qt
    // finds it ambiguous and does nothing.
    QAction* FileNewAction;
    QAction* FileOpenAction;
    QAction* FileSaveAction;
    QAction* FileSaveAsAction;
    QAction* ExportAction;
    QAction* AnimationExportAction; // "Animation exportieren…"
    QAction* PrintPreviewAction;    // follows PrintAction's state
    QAction* PrintAction;
    QAction* QuitAction;
    QAction* UndoAction;
    QAction* RedoAction;
    QAction* CopyAction;
    QAction* PasteAction;
    QAction* FontAction;
    QAction* GraphicsAction;
    QAction* PauseAction;
    QAction* SkipAction;
    QAction* ZoominAction;
    QAction* ZoomoutAction;
    QAction* TraceAction = nullptr;
    QAction* GraphBesideAction = nullptr;
    QActionGroup* PageActions;      // Ansicht: one checkable entry per page, in the tabs' order
    QAction* ManualAction;          // "Handbuch" (F1): the handbook at the topic of the page in front
    QAction* FormulaOverviewAction; // "Formelübersicht": the handbook at the formula language
    QAction* AboutAction;
    QMenu* FileMenu;
    QMenu* RecentMenu; // "Zuletzt geöffnet"
    QMenu* EditMenu;
    QMenu* ViewMenu;
    QMenu* HelpMenu;

    QToolButton* FileNewButton;
    QToolButton* FileOpenButton;
    QToolButton* FileSaveButton;
    QToolButton* PrintButton;
    QToolButton* ExportButton;
    QToolButton* UndoButton;
    QToolButton* RedoButton;
    QToolButton* CopyButton;
    QToolButton* PasteButton;
    QToolButton* FontButton;
    QToolButton* GraphicsButton;
    QToolButton* PauseButton;
    QToolButton* SkipButton;
    QToolButton* ZoominButton;
    QToolButton* ZoomoutButton;
    QToolButton* TraceButton = nullptr;
    QMenu* TraceMenu = nullptr; // the analysis of the traced curve: the button's drop-down, in Ansicht too
    QToolButton* GraphBesideButton = nullptr;
    // The QSettings key of "Grafik neben den Funktionen".
    static constexpr const char* GRAPH_BESIDE_KEY = "View/GraphBesideFunctions";
    QTabWidget* PageControl;
    CFunctionsPage* FunctionsSheet;
    COptionsPage* OptionsSheet;
    CNotesPage* NotesSheet;
    CWetaPage* WetaSheet;
    CGraphicsPage* GraphicsSheet;
    CDebugPage* DebugSheet;
    QLabel* StatusBar1Panel;
    CStylePopupMenu* StylePopupMenu = nullptr;

protected:
    bool eventFilter(QObject* pObject, QEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;
    void closeEvent(QCloseEvent* pEvent) override;

private:
    QAction* CommandAction(ECommand eCommand) const;
    // A command: its action, named pszName + "Action", with the menu text (with its mnemonic),
    // the hint and the keys, the hint naming the first key.
    QAction* AddAction(const char* pszName, const QString& szMenuText, const QString& szHint,
                       const QList<QKeySequence>& keys = {}, bool bEnabled = true);
    // The toolbar button of an action; it shows the action's state and triggers it.
    QToolButton* AddToolButton(const char* pszName, QAction* pAction, int nIcon);
    // The command behind an action: each run is an undo step of its own, like a click.
    void OnTriggered(QAction* pAction, const std::function<void()>& command);
    void CreateMenuBar();
    void ConnectHelpActions();
    CHelpWindow* m_pHelpWindow = nullptr;
    void RememberFile(const QString& szFileName);
    void RestoreWindowState();
    void SaveWindowState() const;
    void OfferRecovery();
    // Loads a file into a fresh document: empty, or the message that says why it failed.
    static QString LoadProject(CProject& project, const QString& szFileName);
    void PageChanged(int nIndex);
    void PageEnter(QWidget* pPage);
    void PageExit(QWidget* pPage);
    void FunctionsSheetEnter();
    void FunctionsSheetExit();
    void FormKeyDown(int nKey);
    // Makes pProject the document and fills the pages from it; bChoosePage shows the notes page if
    // the notes hold text, else the functions page.
    void ReplaceDocument(std::unique_ptr<CProject> pProject, bool bChoosePage);
    // The caption for a file name; without one, the caption of the start.
    void ShowCaption(const QString& szFileName);
    // Saving, with the save dialog or to the document's file.
    bool SaveDocument(bool bAskName);

    QWidget* m_pShownPage = nullptr; // the page whose exit comes next
    CUndoHistory* m_pHistory;
    std::unique_ptr<CRecentFiles> m_pRecentFiles;
    CAutosave* m_pAutosave;
    QString m_szExportFileName; // the picture file chosen last
    QString m_szMovieFileName;  // the film chosen last
    int m_nMovieFps = 25;       // and its frame rate
    QString m_szFailedName;     // a name saving to failed: the next dialog proposes it
    std::unique_ptr<QPrinter> m_pPrinter;
    bool m_bEnding = false; // ended by a signal: closing asks nothing
};
