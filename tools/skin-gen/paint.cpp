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
