#include "app/forms/shape_image.h"

#include <QLabel>
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

QLabel *CreateSkinLabel(QWidget *parent, std::span<const Skin::TLabelDef> labels,
                        const char *name, const QString &text)
{
    for (const Skin::TLabelDef &d : labels) {
        if (qstrcmp(d.Name, name) != 0)
            continue;
        auto *l = new QLabel(text, parent);
        l->setTextFormat(Qt::PlainText);
        l->setObjectName(name);
        l->setGeometry(d.Rect.Left, d.Rect.Top, d.Rect.Width(), d.Rect.Height());
        QFont font("DejaVu Sans");
        font.setPixelSize(std::max(6, d.Rect.Height() - 1));
        font.setBold(true);
        l->setFont(font);
        l->setStyleSheet(
            QString("color: #%1; background: transparent;").arg(d.Color, 6, 16, QChar('0')));
        l->setAlignment((d.Align < 0   ? Qt::AlignLeft
                         : d.Align > 0 ? Qt::AlignRight
                                       : Qt::AlignHCenter) |
                        Qt::AlignVCenter);
        l->setAttribute(Qt::WA_TransparentForMouseEvents);
        return l;
    }
    return nullptr;
}
