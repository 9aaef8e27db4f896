#include "playback/forms/show_image.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QStandardPaths>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/forms/plain_text.h"
#include "channels/languages.h"
#include "platform/messages.h"
#include "playback/snapshot_info.h"

namespace {

const char *const JpegFilter = "Jpeg files (*.jpg *.jpeg)";
const char *const BitmapFilter = "Bitmap files (*.bmp)";

TSnapshotSaveDialog &SaveDialogOverride()
{
    static TSnapshotSaveDialog dialog;
    return dialog;
}

// The folder the last save went to, for the next dialog of this run.
QString &LastFolder()
{
    static QString folder;
    return folder;
}

QString RealSaveDialog(QWidget *owner)
{
    QString folder = LastFolder();
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QStandardPaths::writableLocation(QStandardPaths::HomeLocation);
    QFileDialog dialog(owner);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters({JpegFilter, BitmapFilter});
    dialog.selectNameFilter(JpegFilter);
    dialog.setDirectory(folder);
    dialog.selectFile("Snapshot");
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    const QString name = WithDefaultExtension(dialog.selectedFiles().constFirst(),
                                              dialog.selectedNameFilter() == JpegFilter);
    LastFolder() = QFileInfo(name).absolutePath();
    return name;
}

} // namespace

void TranslateSnapshotKey(const char *key,
                          const std::function<void(const QString &, const QString &)> &set)
{
    QString text, hint;
    if (!MultiLangInfo || !MultiLangInfo->Translate(key, text, hint) || text.isEmpty())
        return;
    set(text, hint.isEmpty() ? text : hint);
}

QString WithDefaultExtension(const QString &fileName, bool jpegFilterSelected)
{
    if (fileName.isEmpty() || !QFileInfo(fileName).suffix().isEmpty())
        return fileName;
    return fileName + (jpegFilterSelected ? ".jpg" : ".bmp");
}

void SetSnapshotSaveDialog(TSnapshotSaveDialog dialog)
{
    SaveDialogOverride() = std::move(dialog);
}

QString SnapshotSaveDialog(QWidget *owner)
{
    return SaveDialogOverride() ? SaveDialogOverride()(owner) : RealSaveDialog(owner);
}

TFormShowImage::TFormShowImage(const QImage &picture, QWidget *parent)
    : QDialog(parent), Picture(picture)
{
    setObjectName("FormShowImage");
    setWindowTitle(QString("%1 X %2").arg(picture.width()).arg(picture.height()));
    ToolButtonSave = new QToolButton(this);
    ToolButtonSave->setText("Save");
    ToolButtonCopy = new QToolButton(this);
    ToolButtonCopy->setText("Copy");
    TranslateSnapshotKey("SavePic", [this](const QString &text, const QString &hint) {
        ToolButtonSave->setText(text);
        ToolButtonSave->setToolTip(PlainToolTip(hint));
    });
    TranslateSnapshotKey("Copy", [this](const QString &text, const QString &hint) {
        ToolButtonCopy->setText(text);
        ToolButtonCopy->setToolTip(PlainToolTip(hint));
    });
    ImagePicture = new QLabel(this);
    ImagePicture->setPixmap(QPixmap::fromImage(picture));
    ImagePicture->setFixedSize(picture.size());

    auto *tools = new QHBoxLayout;
    tools->setContentsMargins(2, 2, 2, 2);
    tools->addWidget(ToolButtonSave);
    tools->addWidget(ToolButtonCopy);
    tools->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(tools);
    layout->addWidget(ImagePicture);
    // The picture at its own size under the tool bar.
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(ToolButtonSave, &QToolButton::clicked, this, &TFormShowImage::ToolButtonSaveClick);
    connect(ToolButtonCopy, &QToolButton::clicked, this, &TFormShowImage::ToolButtonCopyClick);
}

void TFormShowImage::ToolButtonSaveClick()
{
    const QString name = SnapshotSaveDialog(this);
    if (name.isEmpty())
        return;
    if (!SaveGraphic(Picture, name))
        ShowWarning(1020);
}

void TFormShowImage::ToolButtonCopyClick()
{
    QApplication::clipboard()->setImage(Picture);
}

void ShowSnapshotImage(const QImage &picture, QWidget *parent)
{
    if (picture.isNull())
        return;
    TFormShowImage viewer(picture, parent);
    viewer.exec();
}
