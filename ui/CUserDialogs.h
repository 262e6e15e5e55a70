#pragma once
// Every modal question the window asks goes through here, so that tests can answer in place of
// a person. The default asks with the platform's message boxes and file dialogs.
#include <QString>
#include <QStringList>
#include <functional>

class QColor;
class QFont;

class QSize;
class QPrinter;
class QWidget;

class CUserDialogs {
public:
    virtual ~CUserDialogs() = default;

    // A warning with the OK button and no caption text.
    virtual void Warning(QWidget* pParent, const QString& szText);
    // A question with Yes and No; true for Yes.
    virtual bool Question(QWidget* pParent, const QString& szCaption, const QString& szText);
    // A question with Yes, No and Cancel; Escape and closing the box count as Cancel.
    enum EAnswer { Yes, No, Cancel };
    virtual EAnswer QuestionOrCancel(QWidget* pParent, const QString& szCaption, const QString& szText);
    // A warning that asks to go on, with Yes and Cancel; true for Yes, Escape counts as Cancel.
    virtual bool Confirm(QWidget* pParent, const QString& szCaption, const QString& szText);
    // A file name, or empty when the dialog was cancelled.
    virtual QString OpenFileName(QWidget* pParent, const QString& szProposed, const QString& szFilter);
    virtual QString SaveFileName(QWidget* pParent, const QString& szProposed, const QString& szFilter);
    // The font dialog, starting from font; false when it was cancelled, font unchanged then.
    virtual bool Font(QWidget* pParent, QFont& font);
    // The colour dialog, starting from color; false when it was cancelled, color unchanged then.
    virtual bool Color(QWidget* pParent, QColor& color);
    // The print dialog for printer; false when it was cancelled. bOptions: with the choices of
    // what a printout of the graph carries (CPrintOptions).
    virtual bool PrintSetup(QWidget* pParent, QPrinter& printer, bool bOptions);
    // The print preview, whose pages paint draws (again after a change of the options, which
    // bOptions shows); printing from it prints through paint as well.
    virtual void PrintPreview(QWidget* pParent, QPrinter& printer, bool bOptions,
                              const std::function<void(QPrinter*)>& paint);
    // The picture file and its size in pixels, starting from the given ones; false when cancelled.
    // With pbMarks the box "Markierungen exportieren" is offered, ticked as *pbMarks says.
    virtual bool PictureFile(QWidget* pParent, QString& szFileName, QSize& size, bool* pbMarks = nullptr);
    // One of the items, its index; -1 when the choice was cancelled.
    virtual int ChooseItem(QWidget* pParent, const QString& szCaption, const QString& szLabel,
                           const QStringList& items);
    // The bounds of an area, typed or chosen from roots, and what it is measured against: the
    // index into against (0: the x axis). False when cancelled.
    virtual bool AreaBounds(QWidget* pParent, const QStringList& roots, const QStringList& against, QString& szFrom,
                            QString& szTo, int& nAgainst);
    // The film of the animation: file, size in pixels and frames per second, starting from the
    // given ones; false when cancelled.
    virtual bool MovieFile(QWidget* pParent, QString& szFileName, QSize& size, int& nFps);
    // A box that only tells (the About box), with the OK button.
    virtual void About(QWidget* pParent, const QString& szCaption, const QString& szText);
};
