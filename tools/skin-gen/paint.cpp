#include "paint.h"

#include <algorithm>
#include <cmath>

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>

using Skin::TGlyph;

QRectF ToRectF(const Skin::TRect &r)
{
    return QRectF(r.Left, r.Top, r.Width(), r.Height());
}

QFont SkinFont(int pixelSize, bool bold, bool mono)
{
    QFont font(mono ? "DejaVu Sans Mono" : "DejaVu Sans");
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferFullHinting);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

void DrawKeyWell(QPainter &p, const Skin::TRect &r, qreal radius)
{
    const QRectF well = ToRectF(r).adjusted(-1, -1, 1, 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(8, 9, 11, 150));
    p.drawRoundedRect(well, radius + 1, radius + 1);
}

void DrawKeyFace(QPainter &p, const Skin::TRect &r, TLook look, qreal radius)
{
    const QRectF face = ToRectF(r);
    QLinearGradient g(face.topLeft(), face.bottomLeft());
    QColor edge(14, 15, 18);
    switch (look) {
    case TLook::Disabled:
        g.setColorAt(0, QColor(52, 56, 63));
        g.setColorAt(1, QColor(40, 43, 49));
        break;
    case TLook::Normal:
        g.setColorAt(0, QColor(86, 92, 104));
        g.setColorAt(0.5, QColor(62, 67, 77));
        g.setColorAt(1, QColor(44, 48, 56));
        break;
    case TLook::Hover:
        g.setColorAt(0, QColor(100, 108, 122));
        g.setColorAt(0.5, QColor(74, 80, 92));
        g.setColorAt(1, QColor(52, 57, 66));
        edge = QColor(Palette::Accent.red(), Palette::Accent.green(), Palette::Accent.blue(), 210);
        break;
    case TLook::Pressed:
        g.setColorAt(0, QColor(24, 26, 31));
        g.setColorAt(1, QColor(42, 46, 53));
        edge = QColor(6, 7, 9);
        break;
    }
    p.setPen(Qt::NoPen);
    p.setBrush(edge);
    p.drawRoundedRect(face, radius, radius);
    p.setBrush(g);
    p.drawRoundedRect(face.adjusted(1, 1, -1, -1), std::max<qreal>(radius - 1, 0.5),
                      std::max<qreal>(radius - 1, 0.5));
    if (look == TLook::Normal || look == TLook::Hover) {
        // A thin highlight along the top edge gives the key its height.
        p.setPen(QPen(QColor(255, 255, 255, look == TLook::Hover ? 70 : 48), 1));
        p.drawLine(QPointF(face.left() + radius, face.top() + 1.5),
                   QPointF(face.right() - radius, face.top() + 1.5));
    } else if (look == TLook::Pressed) {
        p.setPen(QPen(QColor(0, 0, 0, 120), 1));
        p.drawLine(QPointF(face.left() + radius, face.top() + 1.5),
                   QPointF(face.right() - radius, face.top() + 1.5));
    }
}

void DrawTextKeyFace(QPainter &p, const Skin::TRect &r, const char *label, Skin::TGlyph glyph)
{
    const QRectF face = ToRectF(r);
    const qreal radius = std::min<qreal>(3, face.height() / 2);
    QLinearGradient g(face.topLeft(), face.bottomLeft());
    g.setColorAt(0, QColor(232, 235, 239));
    g.setColorAt(0.5, QColor(Skin::TextButtonFace));
    g.setColorAt(1, QColor(168, 174, 183));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(70, 75, 83));
    p.drawRoundedRect(face, radius, radius);
    p.setBrush(g);
    p.drawRoundedRect(face.adjusted(1, 1, -1, -1), radius - 0.5, radius - 0.5);
    if (label) {
        // Narrow keys get their label squeezed sideways rather than shrunk
        // below a readable height.
        QFont font = SkinFont(face.height() > 10 ? 8 : 7);
        if (QFontMetricsF(font).horizontalAdvance(label) > face.width() - 3)
            font.setPixelSize(6);
        const qreal advance = QFontMetricsF(font).horizontalAdvance(label);
        const qreal squeeze = std::min<qreal>(1, (face.width() - 3) / advance);
        p.save();
        p.setFont(font);
        p.setPen(QColor(28, 30, 34));
        p.translate(face.center());
        p.scale(squeeze, 1);
        p.drawText(QRectF(-advance / 2 - 2, -face.height() / 2, advance + 4, face.height()),
                   Qt::AlignCenter, label);
        p.restore();
    } else if (glyph != TGlyph::None && glyph != TGlyph::Label) {
        DrawGlyph(p, glyph, face, QColor(28, 30, 34));
    }
}

QColor GlyphColor(TGlyph glyph, TLook look)
{
    if (glyph == TGlyph::Record)
        return look == TLook::Disabled ? QColor(110, 52, 50) : Palette::RecordRed;
    switch (look) {
    case TLook::Disabled: return Palette::GlyphDisabled;
    case TLook::Pressed: return Palette::Accent;
    case TLook::Hover: return QColor(255, 255, 255);
    case TLook::Normal: break;
    }
    return Palette::Glyph;
}

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

void DrawButton(QPainter &p, const Skin::TRegionDef &region, TLook look)
{
    const Skin::TRect &r = region.Rect;
    const qreal radius = std::min<qreal>(3.5, std::min(r.Width(), r.Height()) / 2.5);
    p.save();
    // Nothing of a key may spill out of its rectangle: the panel copies
    // exactly that rectangle between the looks.
    p.setClipRect(ToRectF(r));
    DrawKeyFace(p, r, look, radius);
    QRectF box = ToRectF(r).adjusted(1, 1, -1, -1);
    if (look == TLook::Pressed)
        box.translate(0, r.Height() >= 9 ? 1 : 0.5);
    DrawGlyph(p, region.Glyph, box, GlyphColor(region.Glyph, look));
    p.restore();
}

void DrawLcd(QPainter &p, const QRectF &r, qreal radius)
{
    p.save();
    p.setPen(Qt::NoPen);
    // Bezel: dark above, a faint light lip below, as if set into the body.
    p.setBrush(QColor(6, 7, 9));
    p.drawRoundedRect(r.adjusted(-1.5, -1.5, 1.5, 1.5), radius + 1.5, radius + 1.5);
    p.setBrush(QColor(255, 255, 255, 28));
    p.drawRoundedRect(r.adjusted(-1.5, 0, 1.5, 2), radius + 1.5, radius + 1.5);
    p.setBrush(QColor(6, 7, 9));
    p.drawRoundedRect(r.adjusted(-1, -1, 1, 1), radius + 1, radius + 1);
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, Palette::LcdTop);
    g.setColorAt(1, Palette::LcdBottom);
    p.setBrush(g);
    p.drawRoundedRect(r, radius, radius);
    // Glass reflection across the upper part.
    QPainterPath glass;
    glass.addRoundedRect(r.adjusted(1, 1, -1, -r.height() * 0.55), radius, radius);
    QLinearGradient shine(r.topLeft(), QPointF(r.left(), r.top() + r.height() * 0.45));
    shine.setColorAt(0, QColor(255, 255, 255, 20));
    shine.setColorAt(1, QColor(255, 255, 255, 0));
    p.setBrush(shine);
    p.drawPath(glass);
    p.restore();
}

void DrawCaption(QPainter &p, const QRectF &r, const QString &text, int pixelSize)
{
    p.save();
    QFont font = SkinFont(pixelSize);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 0.4);
    p.setFont(font);
    p.setPen(QColor(0, 0, 0, 140));
    p.drawText(r.translated(0, 1), Qt::AlignCenter, text);
    p.setPen(Palette::Caption);
    p.drawText(r, Qt::AlignCenter, text);
    p.restore();
}

void DrawLamp(QPainter &p, const Skin::TRect &r, bool lit)
{
    p.save();
    const QRectF box = ToRectF(r);
    const qreal rad = std::min<qreal>(std::min(box.width(), box.height()) / 2 - 0.5, 5);
    const QPointF c = box.center();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(8, 9, 11));
    p.drawEllipse(c, rad, rad);
    QRadialGradient g(c - QPointF(rad * 0.3, rad * 0.35), rad);
    if (lit) {
        g.setColorAt(0, QColor(255, 200, 190));
        g.setColorAt(0.35, QColor(255, 70, 55));
        g.setColorAt(1, QColor(150, 20, 15));
    } else {
        g.setColorAt(0, QColor(110, 60, 58));
        g.setColorAt(0.4, QColor(70, 30, 30));
        g.setColorAt(1, QColor(40, 18, 18));
    }
    p.setBrush(g);
    p.drawEllipse(c, rad - 1, rad - 1);
    p.restore();
}

void DrawVolumeBar(QPainter &p, const Skin::TRect &r, bool lit)
{
    p.save();
    const QRectF box = ToRectF(r);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(7, 12, 15));
    p.drawRoundedRect(box, 2, 2);
    // Segments from the bottom up: green, then amber, then red near the top.
    const int inner = r.Height() - 4;
    for (int y = r.Bottom - 3; y >= r.Top + 2; y -= 3) {
        const qreal level = qreal(r.Bottom - 2 - y) / inner;
        QColor c = level < 0.6 ? QColor(60, 220, 120) : level < 0.85 ? QColor(255, 196, 60) : QColor(255, 76, 60);
        if (!lit)
            c = QColor(c.red() / 6 + 14, c.green() / 6 + 20, c.blue() / 6 + 22);
        p.setBrush(c);
        p.drawRect(QRectF(r.Left + 2, y, r.Width() - 4, 2));
    }
    p.restore();
}

void DrawPositionBar(QPainter &p, const Skin::TRect &r, TLook look)
{
    p.save();
    p.setPen(Qt::NoPen);
    const QRectF box = ToRectF(r);
    if (look == TLook::Hover) {
        // Caps above and below the track: the panel copies a 6 x 13 slice
        // around the position mark from here, which reads as the marker.
        const qreal cy = box.center().y();
        p.setBrush(QColor(220, 246, 255));
        p.drawRect(QRectF(box.left(), cy - 6.5, box.width(), 13));
        QLinearGradient g(box.topLeft(), box.bottomLeft());
        g.setColorAt(0, QColor(120, 224, 255));
        g.setColorAt(1, QColor(30, 150, 210));
        p.setBrush(g);
        p.drawRect(box);
    } else {
        p.setBrush(QColor(4, 8, 10));
        p.drawRoundedRect(box, 1.5, 1.5);
        const QColor tick = look == TLook::Disabled ? QColor(24, 40, 46) : QColor(32, 70, 84);
        p.setBrush(tick);
        p.drawRect(QRectF(box.left() + 1, box.center().y() - 1, box.width() - 2, 2));
    }
    p.restore();
}

void DrawWordmark(QPainter &p, const QRectF &r, const QColor &color, bool withDot)
{
    p.save();
    QFont font = SkinFont(int(r.height() * 0.8), true);
    font.setLetterSpacing(QFont::PercentageSpacing, 104);
    p.setFont(font);
    const QFontMetricsF fm(font);
    const QString word = "lyra";
    const qreal w = fm.horizontalAdvance(word);
    const qreal x = r.center().x() - (w + (withDot ? 4 : 0)) / 2;
    const qreal base = r.center().y() + fm.ascent() / 2 - fm.descent() / 2 - 1;
    p.setPen(QColor(0, 0, 0, 160));
    p.drawText(QPointF(x, base + 1), word);
    p.setPen(color);
    p.drawText(QPointF(x, base), word);
    if (withDot) {
        p.setPen(Qt::NoPen);
        p.setBrush(Palette::Accent);
        p.drawEllipse(QPointF(x + w + 2.5, base - 1.8), 1.8, 1.8);
    }
    p.restore();
}

QPainterPath BodyPath(int width, int height)
{
    QPainterPath path;
    path.addRoundedRect(QRectF(2, 2, width - 4, height - 4), 24, 24);
    return path;
}

void DrawBody(QPainter &p, int width, int height)
{
    p.save();
    const QPainterPath shape = BodyPath(width, height);
    // Hard-edged first: every pixel the mask lets through is opaque.
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillPath(shape, Palette::Outline);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QRectF inner = shape.boundingRect().adjusted(1.5, 1.5, -1.5, -1.5);
    QLinearGradient g(inner.topLeft(), inner.bottomLeft());
    g.setColorAt(0, Palette::BodyTop);
    g.setColorAt(0.25, QColor(44, 48, 56));
    g.setColorAt(1, Palette::BodyBottom);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(inner, 22.5, 22.5);
    // A soft sheen down the middle, as on brushed plastic.
    QLinearGradient sheen(inner.topLeft(), inner.topRight());
    sheen.setColorAt(0, QColor(255, 255, 255, 0));
    sheen.setColorAt(0.45, QColor(255, 255, 255, 10));
    sheen.setColorAt(1, QColor(255, 255, 255, 0));
    p.setBrush(sheen);
    p.drawRoundedRect(inner, 22.5, 22.5);
    // Bevel: light along the top edge, dark along the bottom.
    p.setBrush(Qt::NoBrush);
    QLinearGradient bevel(inner.topLeft(), inner.bottomLeft());
    bevel.setColorAt(0, QColor(255, 255, 255, 60));
    bevel.setColorAt(0.08, QColor(255, 255, 255, 14));
    bevel.setColorAt(0.9, QColor(0, 0, 0, 0));
    bevel.setColorAt(1, QColor(0, 0, 0, 90));
    p.setPen(QPen(QBrush(bevel), 1.2));
    p.drawRoundedRect(inner.adjusted(0.6, 0.6, -0.6, -0.6), 22, 22);
    p.restore();
}
