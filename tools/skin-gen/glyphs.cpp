// The symbols printed on the keys, drawn as vector shapes so that they stay
// crisp at the few pixels a remote-control key has.
#include <algorithm>
#include <cmath>

#include <QPainterPath>
#include <QRadialGradient>

#include "paint.h"

using Skin::TGlyph;

namespace {

void Triangle(QPainter &p, QPointF a, QPointF b, QPointF c)
{
    QPainterPath path;
    path.moveTo(a);
    path.lineTo(b);
    path.lineTo(c);
    path.closeSubpath();
    p.drawPath(path);
}

void Text(QPainter &p, const QRectF &box, const QString &text, int pixelSize)
{
    p.setFont(SkinFont(pixelSize));
    p.drawText(box, Qt::AlignCenter, text);
}

// Side of the square a symbol may use in the box.
qreal Side(const QRectF &box, qreal limit) { return std::min({box.width(), box.height(), limit}); }

void Gear(QPainter &p, QPointF c, qreal r, const QColor &color)
{
    QPainterPath teeth;
    const int n = 8;
    for (int i = 0; i < n * 2; ++i) {
        const qreal a0 = M_PI * 2 * i / (n * 2) - M_PI / (n * 2);
        const qreal a1 = a0 + M_PI / n;
        const qreal rr = (i % 2 == 0) ? r : r * 0.72;
        const QPointF p0 = c + QPointF(std::cos(a0) * rr, std::sin(a0) * rr);
        const QPointF p1 = c + QPointF(std::cos(a1) * rr, std::sin(a1) * rr);
        if (i == 0)
            teeth.moveTo(p0);
        else
            teeth.lineTo(p0);
        teeth.lineTo(p1);
    }
    teeth.closeSubpath();
    QPainterPath hole;
    hole.addEllipse(c, r * 0.32, r * 0.32);
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawPath(teeth.subtracted(hole));
}

void Speaker(QPainter &p, const QRectF &b, const QColor &color)
{
    QPainterPath s;
    const qreal h = b.height();
    s.moveTo(b.left(), b.top() + h * 0.32);
    s.lineTo(b.left() + b.width() * 0.28, b.top() + h * 0.32);
    s.lineTo(b.left() + b.width() * 0.62, b.top());
    s.lineTo(b.left() + b.width() * 0.62, b.bottom());
    s.lineTo(b.left() + b.width() * 0.28, b.top() + h * 0.68);
    s.lineTo(b.left(), b.top() + h * 0.68);
    s.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawPath(s);
}

} // namespace

void DrawGlyph(QPainter &p, TGlyph glyph, const QRectF &box, const QColor &color)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    const QPointF c = box.center();
    const QPen line(color, 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    switch (glyph) {
    case TGlyph::None:
    case TGlyph::Label:
    case TGlyph::Lamp:
    case TGlyph::PositionBar:
    case TGlyph::VolumeBar:
    case TGlyph::Dial:
    case TGlyph::Needle:
    case TGlyph::Logo:
        break;
    case TGlyph::Minimize: {
        const qreal s = Side(box, 6);
        p.drawRect(QRectF(c.x() - s / 2, c.y() + s / 2 - 1.5, s, 1.6));
        break;
    }
    case TGlyph::Close: {
        const qreal s = Side(box, 6) / 2;
        p.setPen(line);
        p.drawLine(c + QPointF(-s, -s), c + QPointF(s, s));
        p.drawLine(c + QPointF(-s, s), c + QPointF(s, -s));
        break;
    }
    case TGlyph::Help:
        p.setPen(color);
        Text(p, box.translated(0, 0.5), "?", 9);
        break;
    case TGlyph::Schedule: {
        const qreal r = Side(box, 9) / 2;
        p.setPen(QPen(color, 1.2));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(c, r, r);
        p.setPen(QPen(color, 1.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(c, c + QPointF(0, -r * 0.65));
        p.drawLine(c, c + QPointF(r * 0.55, 0));
        break;
    }
    case TGlyph::Setup:
        Gear(p, c, Side(box, 10) / 2, color);
        break;
    case TGlyph::Mosaic: {
        const qreal s = Side(box, 9);
        const qreal cell = (s - 1) / 2;
        const QPointF o = c - QPointF(s / 2, s / 2);
        for (int i = 0; i < 2; ++i)
            for (int j = 0; j < 2; ++j)
                p.drawRect(QRectF(o.x() + j * (cell + 1), o.y() + i * (cell + 1), cell, cell));
        break;
    }
    case TGlyph::Camera: {
        const qreal w = Side(box, 11), h = w * 0.66;
        const QRectF body(c.x() - w / 2, c.y() - h / 2 + 1, w, h);
        QPainterPath cam;
        cam.addRoundedRect(body, 1.5, 1.5);
        cam.addRect(QRectF(c.x() - w * 0.22, body.top() - 1.6, w * 0.44, 2));
        QPainterPath lens;
        lens.addEllipse(QPointF(c.x(), body.center().y()), h * 0.3, h * 0.3);
        p.drawPath(cam.united(cam).subtracted(lens));
        p.drawEllipse(QPointF(c.x(), body.center().y()), h * 0.14, h * 0.14);
        break;
    }
    case TGlyph::Moon: {
        const qreal r = Side(box, 9) / 2;
        QPainterPath moon, bite;
        moon.addEllipse(c, r, r);
        bite.addEllipse(c + QPointF(r * 0.55, -r * 0.45), r * 0.85, r * 0.85);
        p.drawPath(moon.subtracted(bite));
        break;
    }
    case TGlyph::Sap:
        p.setPen(color);
        Text(p, box, "SAP", 7);
        break;
    case TGlyph::Digit0: case TGlyph::Digit1: case TGlyph::Digit2: case TGlyph::Digit3:
    case TGlyph::Digit4: case TGlyph::Digit5: case TGlyph::Digit6: case TGlyph::Digit7:
    case TGlyph::Digit8: case TGlyph::Digit9:
        p.setPen(color);
        Text(p, box, QString::number(int(glyph) - int(TGlyph::Digit0)), box.height() >= 15 ? 11 : 10);
        break;
    case TGlyph::Enter: {
        const qreal s = Side(box, 9) / 2;
        p.setPen(line);
        p.setBrush(Qt::NoBrush);
        QPainterPath path;
        path.moveTo(c + QPointF(s, -s));
        path.lineTo(c + QPointF(s, s * 0.4));
        path.lineTo(c + QPointF(-s + 1.5, s * 0.4));
        p.drawPath(path);
        p.setPen(Qt::NoPen);
        p.setBrush(color);
        Triangle(p, c + QPointF(-s - 0.5, s * 0.4), c + QPointF(-s + 2.5, s * 0.4 - 2.5),
                 c + QPointF(-s + 2.5, s * 0.4 + 2.5));
        break;
    }
    case TGlyph::Recall: {
        // A circular arrow turning back: last channel.
        const qreal r = Side(box, 9) / 2 - 0.5;
        p.setPen(QPen(color, 1.3, Qt::SolidLine, Qt::FlatCap));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), 90 * 16, 270 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(color);
        const QPointF tip(c.x(), c.y() - r);
        Triangle(p, tip + QPointF(2.8, 0), tip + QPointF(-0.6, -2.6), tip + QPointF(-0.6, 2.6));
        break;
    }
    case TGlyph::ChannelUp:
    case TGlyph::ChannelDown: {
        p.setPen(color);
        const QRectF text(box.left(), box.top(), box.width() * 0.6, box.height());
        Text(p, text.translated(1, 0), "CH", 8);
        const qreal tx = box.left() + box.width() * 0.72, s = 3;
        const qreal cy = c.y();
        p.setPen(Qt::NoPen);
        if (glyph == TGlyph::ChannelUp)
            Triangle(p, {tx, cy - s}, {tx - s, cy + s * 0.7}, {tx + s, cy + s * 0.7});
        else
            Triangle(p, {tx, cy + s}, {tx - s, cy - s * 0.7}, {tx + s, cy - s * 0.7});
        break;
    }
    case TGlyph::VolumeUp:
    case TGlyph::VolumeDown: {
        const qreal s = Side(box, 8) / 2;
        p.drawRect(QRectF(c.x() - s, c.y() - 0.75, 2 * s, 1.6));
        if (glyph == TGlyph::VolumeUp)
            p.drawRect(QRectF(c.x() - 0.75, c.y() - s, 1.6, 2 * s));
        break;
    }
    case TGlyph::Mute: {
        const qreal s = Side(box, 11);
        const QRectF b(c.x() - s / 2, c.y() - s * 0.4, s * 0.6, s * 0.8);
        Speaker(p, b, color);
        p.setPen(QPen(color, 1.2, Qt::SolidLine, Qt::RoundCap));
        const QPointF x0(b.right() + 1.0, c.y());
        const qreal d = s * 0.16;
        p.drawLine(x0 + QPointF(0, -d), x0 + QPointF(2 * d, d));
        p.drawLine(x0 + QPointF(0, d), x0 + QPointF(2 * d, -d));
        break;
    }
    case TGlyph::Play: {
        const qreal h = Side(box, 7), w = h * 0.9;
        Triangle(p, {c.x() - w / 2 + 0.5, c.y() - h / 2}, {c.x() - w / 2 + 0.5, c.y() + h / 2},
                 {c.x() + w / 2 + 0.5, c.y()});
        break;
    }
    case TGlyph::Pause: {
        const qreal h = Side(box, 6);
        p.drawRect(QRectF(c.x() - 2.5, c.y() - h / 2, 1.8, h));
        p.drawRect(QRectF(c.x() + 0.7, c.y() - h / 2, 1.8, h));
        break;
    }
    case TGlyph::Stop: {
        const qreal s = std::min<qreal>(Side(box, 6), box.height() - 1);
        p.drawRoundedRect(QRectF(c.x() - s / 2, c.y() - s / 2, s, s), 0.6, 0.6);
        break;
    }
    case TGlyph::Forward:
    case TGlyph::Backward: {
        // Two overlapping arrow heads; the keys are narrow, so they share
        // most of their width.
        const qreal h = std::min<qreal>(box.height() - 2, 6) / 2;
        const qreal w = std::min<qreal>(box.width(), 7);
        const qreal head = w * 0.6, dir = glyph == TGlyph::Forward ? 1 : -1;
        for (qreal start : {-w / 2, -w / 2 + (w - head)}) {
            const qreal x0 = c.x() + dir * start, x1 = c.x() + dir * (start + head);
            Triangle(p, {x0, c.y() - h}, {x0, c.y() + h}, {x1, c.y()});
        }
        break;
    }
    case TGlyph::Record: {
        const qreal r = Side(box, 7) / 2;
        QRadialGradient g(c - QPointF(r * 0.3, r * 0.3), r * 1.3);
        g.setColorAt(0, color.lighter(135));
        g.setColorAt(1, color);
        p.setBrush(g);
        p.drawEllipse(c, r, r);
        break;
    }
    case TGlyph::TimeShift: {
        const qreal r = Side(box, 8) / 2;
        p.setPen(QPen(color, 1.2, Qt::SolidLine, Qt::FlatCap));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), 150 * 16, 300 * 16);
        p.setPen(QPen(color, 1.1, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(c, c + QPointF(0, -r * 0.6));
        p.drawLine(c, c + QPointF(r * 0.45, r * 0.3));
        p.setPen(Qt::NoPen);
        p.setBrush(color);
        const QPointF tip = c + QPointF(std::cos(150 * M_PI / 180) * r, -std::sin(150 * M_PI / 180) * r);
        Triangle(p, tip + QPointF(-2.4, -1.2), tip + QPointF(1.8, -1.6), tip + QPointF(-0.4, 2.2));
        break;
    }
    case TGlyph::Memorize:
        p.setPen(color);
        Text(p, box, "M+", 8);
        break;
    case TGlyph::StepUp:
    case TGlyph::StepDown: {
        const qreal h = std::min<qreal>(std::max<qreal>(box.height() - 2, 4.5), 6) / 2;
        const qreal w = h * 0.9;
        const qreal dir = glyph == TGlyph::StepUp ? 1 : -1;
        Triangle(p, c + QPointF(-w * dir, -h), c + QPointF(-w * dir, h), c + QPointF(w * dir, 0));
        break;
    }
    case TGlyph::SeekUp:
    case TGlyph::SeekDown: {
        const qreal h = std::min<qreal>(box.height() - 2, 6) / 2;
        const qreal w = std::min(h * 0.8, box.width() / 4);
        const qreal dir = glyph == TGlyph::SeekUp ? 1 : -1;
        for (qreal dx : {-w, w}) {
            const QPointF m = c + QPointF(dx * dir - dir * 0.5, 0);
            Triangle(p, m + QPointF(-w * dir, -h), m + QPointF(-w * dir, h), m + QPointF(w * dir, 0));
        }
        break;
    }
    case TGlyph::Guide: {
        // A programme guide: a sheet with a title bar and listed lines.
        const qreal w = Side(box, 9), h = w * 0.8;
        const QRectF sheet(c.x() - w / 2, c.y() - h / 2, w, h);
        p.drawRect(QRectF(sheet.left(), sheet.top(), w, 1.6));
        for (int i = 0; i < 2; ++i) {
            const qreal y = sheet.top() + 3 + i * 2.6;
            p.drawRect(QRectF(sheet.left(), y, 1.6, 1.4));
            p.drawRect(QRectF(sheet.left() + 2.6, y, w - 2.6, 1.4));
        }
        break;
    }
    case TGlyph::FullScreen: {
        const qreal s = Side(box, 7) / 2, a = 2.4;
        p.setPen(QPen(color, 1.2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        p.setBrush(Qt::NoBrush);
        for (int sx : {-1, 1})
            for (int sy : {-1, 1}) {
                const QPointF k = c + QPointF(sx * s, sy * s);
                QPainterPath corner;
                corner.moveTo(k - QPointF(sx * a, 0));
                corner.lineTo(k);
                corner.lineTo(k - QPointF(0, sy * a));
                p.drawPath(corner);
            }
        break;
    }
    }
    p.restore();
}
