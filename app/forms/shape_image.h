// TShapeImage: the picture that is a skinned window's face and shape. It
// fills its parent window, sizes the parent to the picture, gives the parent
// the skin's mask as its shape, and lets the owner paint single regions from
// other looks onto the picture. The owner handles the mouse through the
// On... callbacks. GUI thread only.
#pragma once

#include <QBitmap>
#include <QImage>
#include <QWidget>
#include <functional>
#include <span>

#include "app/skin_regions.h"

class QLabel;

class TShapeImage : public QWidget
{
    Q_OBJECT
public:
    // The parent must be a top-level window: the shape belongs to it.
    explicit TShapeImage(QWidget *parent);

    // With Moveable a left-button drag moves the parent window.
    bool Moveable = false;

    // Takes the picture and sizes the parent's client area to it.
    void SetPicture(const QImage &picture);
    const QImage &Picture() const { return Image; }
    // Applies the mask (set bits are the window) to the parent window; a null
    // mask leaves the window rectangular.
    void SetShape(const QBitmap &mask);

    // Copies the rectangle of the look onto the same rectangle of the picture
    // and repaints it.
    void PaintFrom(const QRect &rect, const QImage &look);

    std::function<void(QMouseEvent *)> OnMouseDown, OnMouseMove, OnMouseUp;
    std::function<void()> OnMouseLeave;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    QImage Image;
    QPoint DragOrigin;
};

// One of a skin's text fields, as its label table places and colours it:
// plain text, click-through (clicks and drags go to the skin). Null when the
// table has no field of that name.
QLabel *CreateSkinLabel(QWidget *parent, std::span<const Skin::TLabelDef> labels,
                        const char *name, const QString &text);
