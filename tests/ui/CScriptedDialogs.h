#pragma once
// Answers the window's questions in tests and records what it was asked.
#include <QStringList>

#include "ui/CUserDialogs.h"

class CScriptedDialogs : public CUserDialogs {
public:
    void Warning(QWidget*, const QString& szText) override { m_Warnings << szText; }
    bool Question(QWidget*, const QString& szCaption, const QString& szText) override
    {
        m_Questions << szCaption + "|" + szText;
        return m_bAnswerYes;
    }
    QString OpenFileName(QWidget*, const QString&, const QString&) override { return m_szOpenName; }
    QString SaveFileName(QWidget*, const QString& szProposed, const QString&) override
    {
        m_Proposed << szProposed;
        return m_szSaveName;
    }

    QStringList m_Warnings;
    QStringList m_Questions;
    QStringList m_Proposed;
    bool m_bAnswerYes = false;
    QString m_szOpenName;
    QString m_szSaveName;
};
