#include "ui/CUserDialogs.h"

#include <QFileDialog>
#include <QFontDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QPrintDialog>
#include <QPrinter>

void CUserDialogs::Warning(QWidget* pParent, const QString& szText)
{
    QMessageBox box(QMessageBox::Warning, QString(), szText, QMessageBox::Ok, pParent);
    box.exec();
}

bool CUserDialogs::Question(QWidget* pParent, const QString& szCaption, const QString& szText)
{
    QMessageBox box(QMessageBox::Question, szCaption, szText, QMessageBox::Yes | QMessageBox::No, pParent);
    // The window speaks German, whatever translations of Qt's own texts are installed.
    box.button(QMessageBox::Yes)->setText("Ja");
    box.button(QMessageBox::No)->setText("Nein");
    return box.exec() == QMessageBox::Yes;
}

CUserDialogs::EAnswer CUserDialogs::QuestionOrCancel(QWidget* pParent, const QString& szCaption,
                                                     const QString& szText)
{
    QMessageBox box(QMessageBox::Question, szCaption, szText, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                    pParent);
    box.button(QMessageBox::Yes)->setText("Ja");
    box.button(QMessageBox::No)->setText("Nein");
    box.button(QMessageBox::Cancel)->setText("Abbrechen");
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::Cancel);
    const int nResult = box.exec();
    return nResult == QMessageBox::Yes ? Yes : nResult == QMessageBox::No ? No : Cancel;
}

bool CUserDialogs::Confirm(QWidget* pParent, const QString& szCaption, const QString& szText)
{
    QMessageBox box(QMessageBox::Warning, szCaption, szText, QMessageBox::Yes | QMessageBox::Cancel, pParent);
    box.button(QMessageBox::Yes)->setText("Ja");
    box.button(QMessageBox::Cancel)->setText("Abbrechen");
    box.setDefaultButton(QMessageBox::Cancel);
    box.setEscapeButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Yes;
}

QString CUserDialogs::OpenFileName(QWidget* pParent, const QString& szProposed, const QString& szFilter)
{
    QFileDialog dialog(pParent, QString(), szProposed, szFilter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix("kvx");
    return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().first()
                                                                                  : QString();
}

QString CUserDialogs::SaveFileName(QWidget* pParent, const QString& szProposed, const QString& szFilter)
{
    QFileDialog dialog(pParent, QString(), szProposed, szFilter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix("kvx");
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().first()
                                                                                  : QString();
}

bool CUserDialogs::Font(QWidget* pParent, QFont& font)
{
    bool bOk = false;
    const QFont chosen = QFontDialog::getFont(&bOk, font, pParent);
    if (bOk)
        font = chosen;
    return bOk;
}

bool CUserDialogs::PrintSetup(QWidget* pParent, QPrinter& printer)
{
    QPrintDialog dialog(&printer, pParent);
    return dialog.exec() == QDialog::Accepted;
}
