// The main window's border, title and menu images. The borders are stretched
// along the window's edges, so they vary only across their thickness.
#include <QLinearGradient>

#include "panels.h"

namespace {

QImage NewCanvas(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// The title bar's gradient, shared by the top border and the menu image's
// background so that the two meet without a seam.
QLinearGradient TopGradient()
{
    QLinearGradient g(0, 0, 0, Skin::BorderTopHeight);
    g.setColorAt(0, QColor(64, 70, 81));
    g.setColorAt(0.5, QColor(44, 48, 56));
    g.setColorAt(1, QColor(30, 33, 39));
    return g;
}

} // namespace

QImage DrawBorderTop()
{
    QImage image = NewCanvas(Skin::BorderLength, Skin::BorderTopHeight);
    QPainter p(&image);
    p.fillRect(image.rect(), TopGradient());
    p.fillRect(QRect(0, 0, image.width(), 1), QColor(112, 120, 134));
    p.fillRect(QRect(0, image.height() - 1, image.width(), 1), QColor(8, 9, 11));
    return image;
}

QImage DrawBorderBottom()
{
    QImage image = NewCanvas(Skin::BorderLength, Skin::BorderBottomHeight);
    QPainter p(&image);
    QLinearGradient g(0, 0, 0, image.height());
    g.setColorAt(0, QColor(36, 40, 47));
    g.setColorAt(1, QColor(22, 24, 29));
    p.fillRect(image.rect(), g);
    p.fillRect(QRect(0, 0, image.width(), 1), QColor(8, 9, 11));
    p.fillRect(QRect(0, image.height() - 1, image.width(), 1), QColor(6, 7, 8));
    // An accent hairline, the one touch of colour on the frame.
    p.fillRect(QRect(0, image.height() - 3, image.width(), 1), QColor(62, 199, 255, 70));
    return image;
}

QImage DrawBorderSide(bool left)
{
    QImage image = NewCanvas(Skin::BorderSideWidth, Skin::BorderLength);
    QPainter p(&image);
    QLinearGradient g(0, 0, image.width(), 0);
    const QColor outer(54, 59, 69), inner(30, 33, 39);
    g.setColorAt(0, left ? outer : inner);
    g.setColorAt(1, left ? inner : outer);
    p.fillRect(image.rect(), g);
    const int outerX = left ? 0 : image.width() - 1;
    const int innerX = left ? image.width() - 1 : 0;
    p.fillRect(QRect(outerX, 0, 1, image.height()), QColor(86, 93, 106));
    p.fillRect(QRect(innerX, 0, 1, image.height()), QColor(8, 9, 11));
    return image;
}

QImage DrawTitle()
{
    QImage image = NewCanvas(Skin::TitleWidth, Skin::BorderTopHeight);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    DrawWordmark(p, QRectF(2, 1, 40, 15), QColor(222, 228, 236));
    p.setFont(SkinFont(8));
    p.setPen(QColor(140, 148, 160));
    p.drawText(QRectF(44, 1, 28, 15), Qt::AlignVCenter | Qt::AlignLeft, "TV");
    return image;
}

QImage DrawMenuImage(int look)
{
    const TLook looks[3] = {TLook::Normal, TLook::Pressed, TLook::Hover};
    QImage image = NewCanvas(Skin::MenuImageWidth, Skin::MenuImageHeight);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(image.rect(), TopGradient());
    p.fillRect(QRect(0, 0, image.width(), 1), QColor(112, 120, 134));
    for (const Skin::TRegionDef &button : Skin::MainWindowButtons) {
        const QRectF face = ToRectF(button.Rect).adjusted(1, 1, 0, 0);
        DrawKeyFace(p, {int(face.left()), int(face.top()), button.Rect.Right, button.Rect.Bottom},
                    looks[look], 2.5);
        QRectF box = face.adjusted(1, 1, -1, -1);
        if (looks[look] == TLook::Pressed)
            box.translate(0, 0.5);
        DrawGlyph(p, button.Glyph, box, GlyphColor(button.Glyph, looks[look]));
    }
    return image;
}
