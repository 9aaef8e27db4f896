// The program's icon: a small TV set with its antenna and a lyre-shaped
// wave on the screen, drawn at each size rather than scaled, so the small
// sizes stay sharp.
#include <QLinearGradient>
#include <QPainterPath>

#include "panels.h"

QImage DrawIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    const qreal line = std::max<qreal>(1.0, s / 32.0);

    // Antenna: two rods from the top of the set.
    QPen rod(Palette::Glyph, line * 1.2, Qt::SolidLine, Qt::RoundCap);
    p.setPen(rod);
    const QPointF base(s * 0.5, s * 0.27);
    p.drawLine(base, QPointF(s * 0.30, s * 0.06));
    p.drawLine(base, QPointF(s * 0.72, s * 0.08));

    // Body.
    const QRectF body(s * 0.06, s * 0.25, s * 0.88, s * 0.66);
    QLinearGradient g(body.topLeft(), body.bottomLeft());
    g.setColorAt(0, Palette::BodyTop);
    g.setColorAt(1, Palette::BodyBottom);
    p.setPen(QPen(Palette::Outline, line));
    p.setBrush(g);
    p.drawRoundedRect(body, s * 0.10, s * 0.10);

    // Screen.
    const QRectF screen = body.adjusted(s * 0.07, s * 0.07, -s * 0.07, -s * 0.13);
    DrawLcd(p, screen, s * 0.05);

    // The wave on the screen, in the accent colour.
    QPainterPath wave;
    const qreal mid = screen.center().y();
    const qreal amp = screen.height() * 0.28;
    wave.moveTo(screen.left() + screen.width() * 0.10, mid);
    wave.cubicTo(screen.left() + screen.width() * 0.30, mid - amp * 2,
                 screen.left() + screen.width() * 0.40, mid + amp * 2, screen.center().x(), mid);
    wave.cubicTo(screen.left() + screen.width() * 0.60, mid - amp * 2,
                 screen.left() + screen.width() * 0.70, mid + amp * 2,
                 screen.right() - screen.width() * 0.10, mid);
    p.setPen(QPen(Palette::Accent, std::max<qreal>(1.0, s / 20.0), Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(wave);

    // Two knobs below the screen; the right one is the record lamp.
    const qreal knob = std::max<qreal>(1.5, s * 0.035);
    const qreal y = body.bottom() - s * 0.065;
    p.setPen(Qt::NoPen);
    p.setBrush(Palette::Caption);
    p.drawEllipse(QPointF(body.right() - s * 0.22, y), knob, knob);
    p.setBrush(Palette::RecordRed);
    p.drawEllipse(QPointF(body.right() - s * 0.12, y), knob, knob);
    return image;
}
