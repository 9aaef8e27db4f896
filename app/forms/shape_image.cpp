#include "app/forms/shape_image.h"

#include <QMouseEvent>
#include <QPainter>

TShapeImage::TShapeImage(QWidget *parent) : QWidget(parent)
{
    setObjectName("ShapeImageSkin");
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TShapeImage::SetPicture(const QImage &picture)
{
    Image = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    setGeometry(0, 0, Image.width(), Image.height());
    if (QWidget *w = parentWidget())
        w->setFixedSize(Image.size());
    update();
}

void TShapeImage::SetShape(const QBitmap &mask)
{
    QWidget *w = parentWidget();
    if (!w)
        return;
    if (mask.isNull())
        w->clearMask();
    else
        w->setMask(mask);
}

void TShapeImage::PaintFrom(const QRect &rect, const QImage &look)
{
    if (Image.isNull() || look.isNull() || rect.isEmpty())
        return;
    QPainter p(&Image);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(rect.topLeft(), look, rect);
    p.end();
    update(rect);
}

void TShapeImage::paintEvent(QPaintEvent *event)
{
    QPainter p(this);
    p.drawImage(event->rect(), Image, event->rect());
}

void TShapeImage::mousePressEvent(QMouseEvent *event)
{
    DragOrigin = event->position().toPoint();
    if (OnMouseDown)
        OnMouseDown(event);
}

void TShapeImage::mouseMoveEvent(QMouseEvent *event)
{
    if (Moveable && (event->buttons() & Qt::LeftButton) && parentWidget())
        parentWidget()->move(parentWidget()->pos() + event->position().toPoint() - DragOrigin);
    if (OnMouseMove)
        OnMouseMove(event);
}

void TShapeImage::mouseReleaseEvent(QMouseEvent *event)
{
    if (OnMouseUp)
        OnMouseUp(event);
}

void TShapeImage::leaveEvent(QEvent *event)
{
    if (OnMouseLeave)
        OnMouseLeave();
    QWidget::leaveEvent(event);
}
