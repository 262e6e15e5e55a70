#pragma once
// Answers the window's questions in tests and records what it was asked.
#include <QColor>
#include <QFont>
#include <QSize>
#include <QStringList>
#include <optional>

#include "ui/CUserDialogs.h"

class CScriptedDialogs : public CUserDialogs {
public:
    void Warning(QWidget*, const QString& szText) override { m_Warnings << szText; }
    bool Question(QWidget*, const QString& szCaption, const QString& szText) override
    {
        m_Questions << szCaption + "|" + szText;
        return m_bAnswerYes;
    }
    EAnswer QuestionOrCancel(QWidget*, const QString& szCaption, const QString& szText) override
    {
        m_Questions << szCaption + "|" + szText;
        return m_bCancel ? Cancel : m_bAnswerYes ? Yes : No;
    }
    bool Confirm(QWidget*, const QString& szCaption, const QString& szText) override
    {
        m_Confirmations << szCaption + "|" + szText;
        return m_bConfirm;
    }
    QString OpenFileName(QWidget*, const QString&, const QString&) override { return m_szOpenName; }
    QString SaveFileName(QWidget*, const QString& szProposed, const QString&) override
    {
        m_Proposed << szProposed;
        return m_szSaveName;
    }
    bool Font(QWidget*, QFont& font) override
    {
        m_Fonts << font;
        if (!m_ChosenFont)
            return false;
        font = *m_ChosenFont;
        return true;
    }
    bool Color(QWidget*, QColor& color) override
    {
        m_Colors << color;
        if (!m_ChosenColor)
            return false;
        color = *m_ChosenColor;
        return true;
    }
    bool PrintSetup(QWidget*, QPrinter&, bool bOptions) override
    {
        ++m_nPrintSetups;
        m_bPrintOptions = bOptions;
        return m_bPrint;
    }
    // The preview draws its pages once, on the printer the window gave it.
    void PrintPreview(QWidget*, QPrinter& printer, bool bOptions, const std::function<void(QPrinter*)>& paint) override
    {
        ++m_nPreviews;
        m_bPrintOptions = bOptions;
        paint(&printer);
    }

    bool PictureFile(QWidget*, QString& szFileName, QSize& size, bool* pbMarks) override
    {
        m_ProposedPictures << szFileName + "|" + QString::number(size.width()) + "x" + QString::number(size.height());
        if (m_szPictureName.isEmpty())
            return false;
        szFileName = m_szPictureName;
        if (m_PictureSize.isValid())
            size = m_PictureSize;
        if (pbMarks)
            *pbMarks = m_bExportMarks;
        return true;
    }
    int ChooseItem(QWidget*, const QString&, const QString& szLabel, const QStringList& items) override
    {
        m_Choices << szLabel + "|" + items.join(",");
        return m_nChoice;
    }
    bool AreaBounds(QWidget*, const QStringList& roots, const QStringList& against, QString& szFrom, QString& szTo,
                    int& nAgainst) override
    {
        m_AreaQuestions << roots.join(",") + "|" + against.join(",") + "|" + szFrom + "|" + szTo;
        if (m_szAreaFrom.isEmpty())
            return false;
        szFrom = m_szAreaFrom;
        szTo = m_szAreaTo;
        nAgainst = m_nAreaAgainst;
        return true;
    }

    bool MovieFile(QWidget*, QString& szFileName, QSize& size, int& nFps) override
    {
        m_ProposedMovies << szFileName + "|" + QString::number(size.width()) + "x" + QString::number(size.height()) +
                                "|" + QString::number(nFps);
        if (m_szMovieName.isEmpty())
            return false;
        szFileName = m_szMovieName;
        if (m_MovieSize.isValid())
            size = m_MovieSize;
        if (m_nMovieFps > 0)
            nFps = m_nMovieFps;
        return true;
    }

    void About(QWidget*, const QString& szCaption, const QString& szText) override
    {
        m_Abouts << szCaption + "|" + szText;
    }

    QStringList m_Warnings;
    QStringList m_Questions;
    QStringList m_Proposed;
    bool m_bAnswerYes = false;
    bool m_bCancel = false; // the three-way question is answered with Abbrechen
    QStringList m_Confirmations;
    bool m_bConfirm = false;
    QString m_szOpenName;
    QString m_szSaveName;
    QList<QFont> m_Fonts;                // what the font dialog was shown
    std::optional<QFont> m_ChosenFont;   // none: the font dialog is cancelled
    QList<QColor> m_Colors;              // what the colour dialog was shown
    std::optional<QColor> m_ChosenColor; // none: the colour dialog is cancelled
    int m_nPrintSetups = 0;
    bool m_bPrint = false;        // the print dialog is confirmed
    bool m_bPrintOptions = false; // the last print dialog or preview offered the options
    int m_nPreviews = 0;
    QStringList m_ProposedPictures; // what the export dialog was shown: "name|WxH"
    QString m_szPictureName;        // empty: the export dialog is cancelled
    QSize m_PictureSize;            // invalid: the proposed size is kept
    bool m_bExportMarks = false;    // "Markierungen exportieren" ticked
    QStringList m_Choices;          // "label|item,item,..."
    int m_nChoice = -1;             // -1: the choice is cancelled
    QStringList m_AreaQuestions;    // "roots|against|from|to" as proposed
    QString m_szAreaFrom;           // empty: the area dialog is cancelled
    QString m_szAreaTo;
    int m_nAreaAgainst = 0;
    QStringList m_Abouts;         // "caption|text" of each About box
    QStringList m_ProposedMovies; // what the film dialog was shown: "name|WxH|fps"
    QString m_szMovieName;        // empty: the film dialog is cancelled
    QSize m_MovieSize;            // invalid: the proposed size is kept
    int m_nMovieFps = 0;          // 0: the proposed rate is kept
};
