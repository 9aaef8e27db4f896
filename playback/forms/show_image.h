// The snapshot viewer (TFormShowImage) and the save-picture dialog that it
// and the snapshot list share. GUI thread only.
#pragma once

#include <QDialog>
#include <QImage>
#include <QString>
#include <functional>

class QLabel;
class QToolButton;

// The save-picture dialog: proposes "Snapshot" with the filters "Jpeg
// files" and "Bitmap files"; a name chosen without an extension gets ".jpg"
// when the JPEG filter was selected, else ".bmp". Empty when cancelled.
QString SnapshotSaveDialog(QWidget *owner);

// The name as the dialog returns it: with the default extension of the
// selected filter when it has none.
QString WithDefaultExtension(const QString &fileName, bool jpegFilterSelected);

// Tests put their own dialog in place (empty: the real one).
using TSnapshotSaveDialog = std::function<QString(QWidget *owner)>;
void SetSnapshotSaveDialog(TSnapshotSaveDialog dialog);

// The text and hint of a language key (the hint is the text when the key
// has none); `set` is not called when the language has no such key.
void TranslateSnapshotKey(const char *key,
                          const std::function<void(const QString &, const QString &)> &set);

class TFormShowImage : public QDialog
{
    Q_OBJECT
public:
    explicit TFormShowImage(const QImage &picture, QWidget *parent = nullptr);

    QToolButton *ToolButtonSave, *ToolButtonCopy;
    QLabel *ImagePicture;

    // Save dialog, then JPEG or BMP by the extension; nothing when
    // cancelled, message 1020 when the file cannot be written.
    void ToolButtonSaveClick();
    // The picture to the clipboard.
    void ToolButtonCopyClick();

private:
    QImage Picture;
};

// Opens the viewer modally on the picture.
void ShowSnapshotImage(const QImage &picture, QWidget *parent);
