#pragma once
// What a page of the window needs of the frame around it: the document, the selected step, the
// status line, the re-entrancy flag of filling, the toolbar commands it enables, the style menu
// and the dialogs. The window implements it; a page knows nothing else of the window.
#include <QPoint>
#include <QString>

class CAnimationStep;
class CProject;
class CUndoHistory;
class CUserDialogs;
class QWidget;

class CPageFrame {
public:
    // The toolbar commands that a page switches on and off while it is shown.
    enum ECommand {
        COMMAND_COPY,
        COMMAND_PASTE,
        COMMAND_PRINT,
        COMMAND_FONT,
        COMMAND_PAUSE,
        COMMAND_SKIP,
        COMMAND_ZOOMIN,
        COMMAND_ZOOMOUT,
        COMMAND_TRACE,
        COMMAND_COUNT
    };

    virtual CProject& Document() const = 0;
    virtual CAnimationStep* CurrentStep() const = 0;
    virtual void SetCurrentStep(CAnimationStep* pStep) = 0;
    virtual void ShowStatus(const QString& szText) = 0;
    // True while the frame fills controls from the document: their change handlers then write
    // nothing back (see CUpdateGuard).
    virtual bool IsUpdating() const = 0;
    virtual void SetUpdating(bool bUpdating) = 0;
    virtual void EnableCommand(ECommand eCommand, bool bEnabled) = 0;
    // The state of a command that toggles (COMMAND_TRACE).
    virtual void CheckCommand(ECommand eCommand, bool bChecked) = 0;
    // The page is the one shown; ShowPage brings it up (with its enter handler).
    virtual bool IsPageShown(const QWidget* pPage) const = 0;
    virtual void ShowPage(QWidget* pPage) = 0;
    // The view's ranges changed outside the Einstellungen page, which then shows them anew.
    virtual void RangesChanged() = 0;
    virtual CUndoHistory& History() = 0;
    // The style menu for pControl, at the global position pos.
    virtual void PopupStyleMenu(QWidget* pControl, const QPoint& pos) = 0;
    virtual CUserDialogs& Dialogs() const = 0;

protected:
    CPageFrame() = default;
    CPageFrame(const CPageFrame&) = default;
    CPageFrame& operator=(const CPageFrame&) = default;
    ~CPageFrame() = default;
};
