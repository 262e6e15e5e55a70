#include "ui/CUserDialogs.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QToolBar>
#include <algorithm>

#include "render/CMovieExport.h"
#include "ui/CPrintOptions.h"

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

CUserDialogs::EAnswer CUserDialogs::QuestionOrCancel(QWidget* pParent, const QString& szCaption, const QString& szText)
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
    // The suffix of the filter's first pattern: "*.kvx" for projects, "*.csv" for tables.
    const int nPattern = szFilter.indexOf("*.");
    const int nEnd = nPattern < 0 ? -1 : szFilter.indexOf(QRegularExpression("[ ;)]"), nPattern);
    dialog.setDefaultSuffix(nPattern < 0 ? QString("kvx")
                                         : szFilter.mid(nPattern + 2, nEnd < 0 ? -1 : nEnd - nPattern - 2));
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

bool CUserDialogs::PrintSetup(QWidget* pParent, QPrinter& printer, bool bOptions)
{
    QPrintDialog dialog(&printer, pParent);
    if (bOptions)
        dialog.setOptionTabs({new CPrintOptions(&dialog)});
    return dialog.exec() == QDialog::Accepted;
}

void CUserDialogs::PrintPreview(QWidget* pParent, QPrinter& printer, bool bOptions,
                                const std::function<void(QPrinter*)>& paint)
{
    QPrintPreviewDialog dialog(&printer, pParent);
    dialog.setWindowTitle("Druckvorschau");
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [&paint](QPrinter* pPrinter) { paint(pPrinter); });
    if (bOptions) {
        // In the preview's toolbar, where a change shows at once.
        auto* pOptions = new CPrintOptions(&dialog);
        if (auto* pBar = dialog.findChild<QToolBar*>()) {
            pBar->addSeparator();
            pBar->addWidget(pOptions);
        } else if (auto* pLayout = dialog.layout()) {
            pLayout->addWidget(pOptions);
        }
        if (auto* pPreview = dialog.findChild<QPrintPreviewWidget*>())
            QObject::connect(pOptions, &CPrintOptions::Changed, pPreview, &QPrintPreviewWidget::updatePreview);
    }
    // Large enough to read a page.
    dialog.resize(dialog.sizeHint().expandedTo(QSize(800, 900)));
    dialog.exec();
}

namespace {
// The export dialog of pictures and films: file, size and, where pnFps is given, the frame rate.
bool ExportDialog(QWidget* pParent, const char* pszObjectName, const QString& szTitle, const QString& szFormats,
                  const QString& szFilter, const QString& szSuffix, QString& szFileName, QSize& size, int* pnFps,
                  bool* pbMarks)
{
    QDialog dialog(pParent);
    dialog.setObjectName(pszObjectName);
    dialog.setWindowTitle(szTitle);
    auto* pForm = new QFormLayout(&dialog);
    auto* pFileRow = new QHBoxLayout;
    auto* pFileEdit = new QLineEdit(szFileName);
    pFileEdit->setMinimumWidth(320);
    auto* pBrowse = new QPushButton("Durchsuchen\u2026");
    // Enter in the file field exports: the browse button never becomes the default.
    pBrowse->setAutoDefault(false);
    pFileRow->addWidget(pFileEdit);
    pFileRow->addWidget(pBrowse);
    pForm->addRow("Datei:", pFileRow);
    auto* pSizeRow = new QHBoxLayout;
    auto* pWidth = new QSpinBox;
    auto* pHeight = new QSpinBox;
    for (QSpinBox* pBox : {pWidth, pHeight})
        pBox->setRange(1, 16384); // the command line's limit
    pWidth->setValue(size.width());
    pHeight->setValue(size.height());
    pSizeRow->addWidget(pWidth);
    pSizeRow->addWidget(new QLabel("\u00D7"));
    pSizeRow->addWidget(pHeight);
    pSizeRow->addWidget(new QLabel("Pixel"));
    pSizeRow->addStretch();
    pForm->addRow("Gr\u00F6\u00DFe:", pSizeRow);
    QSpinBox* pFps = nullptr;
    if (pnFps) {
        pFps = new QSpinBox;
        pFps->setObjectName("FpsBox");
        pFps->setRange(1, static_cast<int>(CMovieExport::MAX_FPS));
        pFps->setValue(*pnFps);
        pForm->addRow("Bilder je Sekunde:", pFps);
    }
    pForm->addRow(new QLabel("Das Format folgt der Endung: " + szFormats));
    QCheckBox* pMarks = nullptr;
    if (pbMarks) {
        pMarks = new QCheckBox("Markierungen exportieren");
        pMarks->setObjectName("ExportMarksBox");
        pMarks->setChecked(*pbMarks);
        pForm->addRow(pMarks);
    }
    auto* pButtons = new QDialogButtonBox;
    QPushButton* pExport = pButtons->addButton("Exportieren", QDialogButtonBox::AcceptRole);
    pButtons->addButton("Abbrechen", QDialogButtonBox::RejectRole);
    pForm->addRow(pButtons);
    pExport->setDefault(true); // within the dialog now, so that it is the dialog's default
    QObject::connect(pButtons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(pButtons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    QObject::connect(pBrowse, &QPushButton::clicked, &dialog, [&] {
        QFileDialog files(&dialog, QString(), pFileEdit->text(), szFilter);
        files.setAcceptMode(QFileDialog::AcceptSave);
        files.setFileMode(QFileDialog::AnyFile);
        files.setDefaultSuffix(szSuffix);
        if (files.exec() == QDialog::Accepted && !files.selectedFiles().isEmpty())
            pFileEdit->setText(files.selectedFiles().first());
    });
    if (dialog.exec() != QDialog::Accepted || pFileEdit->text().trimmed().isEmpty())
        return false;
    szFileName = pFileEdit->text().trimmed();
    size = QSize(pWidth->value(), pHeight->value());
    if (pnFps)
        *pnFps = pFps->value();
    if (pbMarks)
        *pbMarks = pMarks->isChecked();
    return true;
}
} // namespace

bool CUserDialogs::PictureFile(QWidget* pParent, QString& szFileName, QSize& size, bool* pbMarks)
{
    return ExportDialog(pParent, "ExportDialog", "Bild exportieren", ".png, .svg oder .pdf",
                        "PNG-Bild (*.png);;SVG-Grafik (*.svg);;PDF-Dokument (*.pdf)", "png", szFileName, size, nullptr,
                        pbMarks);
}

bool CUserDialogs::MovieFile(QWidget* pParent, QString& szFileName, QSize& size, int& nFps)
{
    return ExportDialog(pParent, "MovieDialog", "Animation exportieren", ".gif, .webm oder .mp4",
                        "GIF-Animation (*.gif);;WebM-Video (*.webm);;MP4-Video (*.mp4)", "gif", szFileName, size, &nFps,
                        nullptr);
}

int CUserDialogs::ChooseItem(QWidget* pParent, const QString& szCaption, const QString& szLabel,
                             const QStringList& items)
{
    bool bOk = false;
    const QString szItem = QInputDialog::getItem(pParent, szCaption, szLabel, items, 0, false, &bOk);
    return bOk ? static_cast<int>(items.indexOf(szItem)) : -1;
}

bool CUserDialogs::AreaBounds(QWidget* pParent, const QStringList& roots, const QStringList& against, QString& szFrom,
                              QString& szTo, int& nAgainst)
{
    QDialog dialog(pParent);
    dialog.setObjectName("AreaDialog");
    dialog.setWindowTitle("Fl\u00E4che");
    auto* pForm = new QFormLayout(&dialog);
    auto* pFrom = new QComboBox;
    auto* pTo = new QComboBox;
    for (QComboBox* pBox : {pFrom, pTo}) {
        pBox->setEditable(true);
        pBox->addItems(roots);
        pBox->setMinimumWidth(200);
    }
    pFrom->setEditText(szFrom);
    pTo->setEditText(szTo);
    auto* pAgainst = new QComboBox;
    pAgainst->addItems(against);
    pAgainst->setCurrentIndex(std::clamp(nAgainst, 0, static_cast<int>(against.size()) - 1));
    pForm->addRow(new QLabel("Die Grenzen eingeben oder eine Nullstelle w\u00E4hlen."));
    pForm->addRow("von x =", pFrom);
    pForm->addRow("bis x =", pTo);
    pForm->addRow("gemessen gegen", pAgainst);
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    pButtons->button(QDialogButtonBox::Cancel)->setText("Abbrechen");
    pForm->addRow(pButtons);
    QObject::connect(pButtons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(pButtons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    szFrom = pFrom->currentText();
    szTo = pTo->currentText();
    nAgainst = pAgainst->currentIndex();
    return true;
}

void CUserDialogs::About(QWidget* pParent, const QString& szCaption, const QString& szText)
{
    QMessageBox::about(pParent, szCaption, szText);
}

bool CUserDialogs::Color(QWidget* pParent, QColor& color)
{
    const QColor chosen = QColorDialog::getColor(color, pParent, "Textfarbe");
    if (!chosen.isValid())
        return false;
    color = chosen;
    return true;
}
