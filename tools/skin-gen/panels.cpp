// The TV and FM panels: one body drawn alike in every look, and the faces of
// the regions drawn in the look being made. Everything that differs between
// the looks lies inside a region's rectangle, because the panel copies only
// those rectangles from one look onto the shown image.
#include "panels.h"

#include <cmath>

#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>

#include "paint.h"

using Skin::TGlyph;
using Skin::TKind;
using Skin::TRegionDef;

namespace {

qreal KeyRadius(const Skin::TRect &r)
{
    return std::min<qreal>(3.5, std::min(r.Width(), r.Height()) / 2.5);
}

// A slightly sunken plate that groups related keys.
void DrawPlate(QPainter &p, const QRectF &r, qreal radius)
{
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 55));
    p.drawRoundedRect(r, radius, radius);
    p.setBrush(QColor(255, 255, 255, 12));
    p.drawRoundedRect(r.adjusted(0, r.height() - 2, 0, 1), radius, radius);
    p.setBrush(QColor(0, 0, 0, 40));
    p.drawRoundedRect(r.adjusted(0, 0, 0, -r.height() + 2), radius, radius);
    p.restore();
}

// The round transport pad the playback keys sit on.
void DrawJogRing(QPainter &p, QPointF c, qreal r)
{
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(8, 9, 11, 200));
    p.drawEllipse(c + QPointF(0, 1), r + 1.5, r + 1.5);
    QLinearGradient g(c - QPointF(0, r), c + QPointF(0, r));
    g.setColorAt(0, QColor(70, 76, 87));
    g.setColorAt(1, QColor(34, 37, 43));
    p.setBrush(g);
    p.drawEllipse(c, r, r);
    QLinearGradient hollow(c - QPointF(0, r * 0.6), c + QPointF(0, r * 0.6));
    hollow.setColorAt(0, QColor(26, 28, 33));
    hollow.setColorAt(1, QColor(48, 52, 60));
    p.setBrush(hollow);
    p.drawEllipse(c, r * 0.56, r * 0.56);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 255, 255, 28), 1));
    p.drawArc(QRectF(c.x() - r + 0.5, c.y() - r + 0.5, 2 * r - 1, 2 * r - 1), 30 * 16, 120 * 16);
    p.restore();
}

void DrawSpeakerGrille(QPainter &p, const QRectF &r)
{
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 60));
    p.drawRoundedRect(r, 10, 10);
    const qreal step = 5;
    int row = 0;
    for (qreal y = r.top() + 6; y < r.bottom() - 4; y += step * 0.87, ++row) {
        const qreal offset = (row % 2) ? step / 2 : 0;
        for (qreal x = r.left() + 6 + offset; x < r.right() - 4; x += step) {
            p.setBrush(QColor(6, 7, 9));
            p.drawEllipse(QPointF(x, y), 1.3, 1.3);
            p.setBrush(QColor(255, 255, 255, 16));
            p.drawEllipse(QPointF(x, y + 1.1), 1.0, 0.5);
        }
    }
    p.restore();
}

void DrawIrWindow(QPainter &p, const QRectF &r)
{
    p.save();
    p.setPen(Qt::NoPen);
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, QColor(40, 8, 12));
    g.setColorAt(1, QColor(14, 4, 6));
    p.setBrush(QColor(4, 4, 6));
    p.drawRoundedRect(r.adjusted(-1, -1, 1, 1), r.height() / 2 + 1, r.height() / 2 + 1);
    p.setBrush(g);
    p.drawRoundedRect(r, r.height() / 2, r.height() / 2);
    p.setBrush(QColor(255, 255, 255, 30));
    p.drawRoundedRect(QRectF(r.left() + 3, r.top() + 1, r.width() - 6, r.height() * 0.35), 1, 1);
    p.restore();
}

void DrawFMDial(QPainter &p, const Skin::TRect &r, TLook look)
{
    p.save();
    const QRectF box = ToRectF(r);
    p.setPen(Qt::NoPen);
    const QColor scale = look == TLook::Disabled ? QColor(70, 90, 98) : QColor(150, 210, 230);
    p.setBrush(scale);
    // Fine ticks every tenth of the dial, long ones at each fifth.
    p.drawRect(QRectF(box.left(), box.bottom() - 1.5, box.width(), 1));
    for (int i = 0; i <= 20; ++i) {
        const qreal x = box.left() + 0.5 + (box.width() - 1.5) * i / 20;
        const qreal h = (i % 5 == 0) ? box.height() - 1 : (i % 1 == 0 ? 4 : 3);
        p.drawRect(QRectF(x, box.bottom() - 1 - h, 1, h));
    }
    p.restore();
}

void DrawNeedle(QPainter &p, const Skin::TRect &r)
{
    p.save();
    const QRectF box = ToRectF(r);
    const qreal cx = box.center().x();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 70, 50, 80));
    p.drawRect(QRectF(cx - 1.5, box.top(), 3, box.height()));
    p.setBrush(QColor(255, 84, 60));
    p.drawRect(QRectF(cx - 0.5, box.top(), 1, box.height()));
    p.drawEllipse(QPointF(cx, box.top() + 1.5), 1.6, 1.6);
    p.restore();
}

// Body decoration shared by every look, drawn before the regions.
void DrawRegionWells(QPainter &p, const TRegionDef *regions, int count)
{
    for (int i = 0; i < count; ++i) {
        const TRegionDef &r = regions[i];
        if (r.Kind == TKind::Button || r.Kind == TKind::TextButton)
            DrawKeyWell(p, r.Rect, KeyRadius(r.Rect));
        else if (r.Kind == TKind::Lamp) {
            const QRectF b = ToRectF(r.Rect);
            const qreal rad = std::min<qreal>(std::min(b.width(), b.height()) / 2, 5.5);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(255, 255, 255, 20));
            p.drawEllipse(b.center() + QPointF(0, 0.8), rad, rad);
        }
    }
}

// The face of one region in a look.
void DrawRegion(QPainter &p, const TRegionDef &r, TLook look)
{
    // The panel copies exactly the region's rectangle from a look, so its art
    // stays inside; only the position marker's caps reach past the bar.
    p.save();
    if (r.Glyph != TGlyph::PositionBar)
        p.setClipRect(ToRectF(r.Rect));
    switch (r.Kind) {
    case TKind::Button:
        DrawButton(p, r, look);
        break;
    case TKind::TextButton:
        DrawTextKeyFace(p, r.Rect, r.Label, r.Glyph);
        break;
    case TKind::Lamp:
        DrawLamp(p, r.Rect, look != TLook::Disabled);
        break;
    case TKind::Bar:
        if (r.Glyph == TGlyph::VolumeBar)
            DrawVolumeBar(p, r.Rect, look != TLook::Disabled);
        else
            DrawPositionBar(p, r.Rect, look);
        break;
    case TKind::Display:
        if (r.Glyph == TGlyph::Dial)
            DrawFMDial(p, r.Rect, look);
        else if (look == TLook::Hover)
            DrawNeedle(p, r.Rect);
        break;
    case TKind::Logo: {
        // The About badge: the wordmark, brighter when the mouse is over it.
        const QColor c = look == TLook::Disabled ? QColor(150, 158, 170)
                       : look == TLook::Hover    ? QColor(255, 255, 255)
                       : look == TLook::Pressed  ? Palette::Accent
                                                 : QColor(196, 203, 214);
        DrawWordmark(p, ToRectF(r.Rect).adjusted(2, 2, -2, -2), c);
        break;
    }
    }
    p.restore();
}

QImage NewCanvas(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

} // namespace

QImage DrawTVPanel(TLook look)
{
    using namespace Skin;
    QImage image = NewCanvas(TVPanelWidth, TVPanelHeight);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    DrawBody(p, TVPanelWidth, TVPanelHeight);

    DrawIrWindow(p, QRectF(84, 9, 33, 6));
    DrawWordmark(p, QRectF(20, 37, 44, 17), QColor(214, 220, 230));
    DrawCaption(p, QRectF(64, 40, 60, 12), "TV  CONTROL", 6);
    DrawLcd(p, ToRectF(TVDisplay), 4);
    DrawLcd(p, ToRectF(TVChannelDisplay), 2.5);

    DrawPlate(p, QRectF(17, 128, 64, 38), 5);
    DrawPlate(p, QRectF(78, 106, 105, 97), 6);
    DrawJogRing(p, QPointF(55, 256), 45);
    DrawCaption(p, QRectF(104, 225, 40, 9), "REC", 7);
    DrawCaption(p, QRectF(143, 225, 44, 9), "SHIFT", 7);
    DrawCaption(p, QRectF(17, 170, 64, 10), "MODE", 7);
    // A hairline groove between the keypad and the transport section.
    p.setPen(QPen(QColor(0, 0, 0, 110), 1));
    p.drawLine(QPointF(18, 207.5), QPointF(183, 207.5));
    p.setPen(QPen(QColor(255, 255, 255, 18), 1));
    p.drawLine(QPointF(18, 208.5), QPointF(183, 208.5));

    DrawRegionWells(p, TVRegions, TVRegionCount);
    for (const TRegionDef &r : TVRegions)
        DrawRegion(p, r, look);
    return image;
}

QImage DrawFMPanel(TLook look)
{
    using namespace Skin;
    QImage image = NewCanvas(FMPanelWidth, FMPanelHeight);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    DrawBody(p, FMPanelWidth, FMPanelHeight);

    DrawIrWindow(p, QRectF(84, 9, 33, 6));
    DrawWordmark(p, QRectF(18, 33, 42, 16), QColor(214, 220, 230));
    DrawCaption(p, QRectF(58, 35, 30, 12), "FM", 7);
    DrawLcd(p, ToRectF(FMDisplay), 4);
    DrawSpeakerGrille(p, QRectF(141, 36, 46, 186));

    DrawPlate(p, QRectF(22, 108, 114, 93), 6);
    DrawJogRing(p, QPointF(51, 251), 44);
    DrawCaption(p, QRectF(100, 226, 40, 9), "REC", 7);
    p.setPen(QPen(QColor(0, 0, 0, 110), 1));
    p.drawLine(QPointF(18, 203.5), QPointF(136, 203.5));
    p.setPen(QPen(QColor(255, 255, 255, 18), 1));
    p.drawLine(QPointF(18, 204.5), QPointF(136, 204.5));

    DrawRegionWells(p, FMRegions, FMRegionCount);
    for (const TRegionDef &r : FMRegions)
        DrawRegion(p, r, look);
    return image;
}

QImage DrawPanelMask(int width, int height)
{
    QImage mask = NewCanvas(width, height);
    QPainter p(&mask);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillPath(BodyPath(width, height), Qt::white);
    return mask;
}
