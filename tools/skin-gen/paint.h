// Drawing pieces shared by the panel and window artwork of skin-gen.
#pragma once

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QRectF>

#include "app/skin_regions.h"

// The look being drawn, in the order of the skin files.
enum class TLook { Disabled, Normal, Pressed, Hover };

namespace Palette {
inline const QColor Outline{10, 11, 14};
inline const QColor BodyTop{58, 63, 73};
inline const QColor BodyBottom{30, 33, 39};
inline const QColor Accent{62, 199, 255};
inline const QColor Glyph{226, 231, 237};
inline const QColor GlyphDisabled{98, 104, 115};
inline const QColor Caption{128, 136, 148};
inline const QColor RecordRed{255, 66, 56};
inline const QColor LcdTop{9, 20, 25};
inline const QColor LcdBottom{16, 31, 38};
} // namespace Palette

QRectF ToRectF(const Skin::TRect &r);

// A font of the DejaVu family (shipped with the build machine's fonts) at a
// pixel size, so the artwork does not depend on the desktop's settings.
QFont SkinFont(int pixelSize, bool bold = true, bool mono = false);

// Outside the faces: the recess a key sits in. The same in every look.
void DrawKeyWell(QPainter &p, const Skin::TRect &r, qreal radius);

// The key's face filling exactly its rectangle, in the given look.
void DrawKeyFace(QPainter &p, const Skin::TRect &r, TLook look, qreal radius);

// The light face of a text button (the same in every look: the panel's
// text button shows its own state).
void DrawTextKeyFace(QPainter &p, const Skin::TRect &r, const char *label, Skin::TGlyph glyph);

// A symbol centred in the rectangle.
void DrawGlyph(QPainter &p, Skin::TGlyph glyph, const QRectF &box, const QColor &color);

// Colour of a symbol in a look.
QColor GlyphColor(Skin::TGlyph glyph, TLook look);

// A whole button: face plus symbol, pressed symbols one pixel lower.
void DrawButton(QPainter &p, const Skin::TRegionDef &region, TLook look);

// A dark glass window (LCD) with a soft reflection.
void DrawLcd(QPainter &p, const QRectF &r, qreal radius);

// Small printed caption on the body.
void DrawCaption(QPainter &p, const QRectF &r, const QString &text, int pixelSize = 7);

// The mute lamp: a lit or dark red LED.
void DrawLamp(QPainter &p, const Skin::TRect &r, bool lit);

// The vertical volume meter: lit or dark segments.
void DrawVolumeBar(QPainter &p, const Skin::TRect &r, bool lit);

// The position track. filled: the played look (hover), with the marker caps
// above and below the track that the panel copies around the position.
void DrawPositionBar(QPainter &p, const Skin::TRect &r, TLook look);

// The "lyra" wordmark fitted into a rectangle.
void DrawWordmark(QPainter &p, const QRectF &r, const QColor &color, bool withDot = true);

// The panel body: outline (hard-edged, exactly the mask) and the body.
QPainterPath BodyPath(int width, int height);
void DrawBody(QPainter &p, int width, int height);
