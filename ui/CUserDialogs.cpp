#include "ui/CUserDialogs.h"

#include <QFileDialog>
#include <QMessageBox>

void CUserDialogs::Warning(QWidget* pParent, const QString& szText)
{
    QMessageBox box(QMessageBox::Warning, QString(), szText, QMessageBox::Ok, pParent);
    box.exec();
}

bool CUserDialogs::Question(QWidget* pParent, const QString& szCaption, const QString& szText)
{
    QMessageBox box(QMessageBox::Question, szCaption, szText, QMessageBox::Yes | QMessageBox::No, pParent);
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
