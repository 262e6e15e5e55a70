#pragma once
// What the window's helpers (undo history, autosave, style menu) need of the window: the document,
// the file it belongs to, putting another document in its place, and the status line. The window
// implements it; a helper knows nothing else of the window.
#include <QString>
#include <memory>

class CProject;

class CDocumentHost {
public:
    virtual CProject& Document() const = 0;
    // The file the document was opened from or saved to last; empty if none.
    virtual QString FileName() const = 0;
    // Makes pProject the document in place of the current one, the pages keeping what they show
    // (undo and redo).
    virtual void RestoreDocument(std::unique_ptr<CProject> pProject) = 0;
    virtual void ShowStatus(const QString& szText) = 0;

protected:
    CDocumentHost() = default;
    CDocumentHost(const CDocumentHost&) = default;
    CDocumentHost& operator=(const CDocumentHost&) = default;
    ~CDocumentHost() = default;
};
