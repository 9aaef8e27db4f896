// skin-gen: draws Lyra's default skin into PNG files.
//
//   skin-gen OUTPUT_FOLDER
//   skin-gen --sheet SCALE FILE   an overview of every look, for review
//
// Runs at build time without a display (offscreen platform); the region
// table it draws on is the one TUIInfo hit-tests (app/skin_regions.h).
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>

#include "panels.h"

namespace {

bool Save(const QImage &image, const QString &folder, const char *name)
{
    const QString path = folder + "/" + name;
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "skin-gen: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

// All looks of both panels side by side on a neutral ground, scaled up with
// square pixels so that single pixels can be judged.
QImage Sheet(int scale)
{
    using namespace Skin;
    const TLook looks[LookCount] = {TLook::Disabled, TLook::Normal, TLook::Pressed, TLook::Hover};
    const int gap = 8;
    QImage sheet(std::max((TVPanelWidth + gap) * LookCount + gap, 520 + 2 * (TVPanelWidth + gap)),
                 (TVPanelHeight + gap) * 3 + gap, QImage::Format_ARGB32_Premultiplied);
    sheet.fill(QColor(120, 126, 134));
    QPainter p(&sheet);
    for (int i = 0; i < LookCount; ++i) {
        p.drawImage(gap + i * (TVPanelWidth + gap), gap, DrawTVPanel(looks[i]));
        p.drawImage(gap + i * (FMPanelWidth + gap), 2 * gap + TVPanelHeight, DrawFMPanel(looks[i]));
    }
    // A main window of 400 x 300 put together from the frame pieces, as the
    // window lays them out, with a grey stand-in for the video.
    const int y = 3 * gap + 2 * TVPanelHeight;
    const QRect window(gap, y, 400, 300);
    p.fillRect(window, QColor(40, 60, 80));
    p.drawImage(QRect(window.left(), window.top(), window.width(), BorderTopHeight),
                DrawBorderTop());
    p.drawImage(QRect(window.left(), window.bottom() + 1 - BorderBottomHeight, window.width(),
                      BorderBottomHeight),
                DrawBorderBottom());
    const int side = window.height() - BorderTopHeight - BorderBottomHeight;
    p.drawImage(QRect(window.left(), window.top() + BorderTopHeight, BorderSideWidth, side),
                DrawBorderSide(true));
    p.drawImage(QRect(window.right() + 1 - BorderSideWidth, window.top() + BorderTopHeight,
                      BorderSideWidth, side),
                DrawBorderSide(false));
    p.drawImage(window.left(), window.top(), DrawMenuImage(0));
    const QImage title = DrawTitle();
    p.drawImage(window.left() + (window.width() - title.width()) / 2, window.top(), title);
    p.drawImage(window.right() + 20, y, DrawMenuImage(1));
    p.drawImage(window.right() + 60, y, DrawMenuImage(2));
    // The panels at rest with sample texts where their labels go.
    const auto withLabels = [&](QImage panel, const TLabelDef *labels, int count,
                                const QStringList &texts, int x) {
        QPainter lp(&panel);
        lp.setRenderHint(QPainter::TextAntialiasing);
        for (int i = 0; i < count; ++i) {
            const TLabelDef &l = labels[i];
            lp.setFont(SkinFont(l.Rect.Height() - 1, true, false));
            lp.setPen(QColor(QRgb(l.Color)));
            const int align = l.Align < 0   ? Qt::AlignLeft
                              : l.Align > 0 ? Qt::AlignRight
                                            : Qt::AlignHCenter;
            lp.drawText(ToRectF(l.Rect), align | Qt::AlignVCenter, texts.value(i));
        }
        lp.end();
        p.drawImage(x, y, panel);
    };
    withLabels(DrawTVPanel(TLook::Normal), TVLabels, std::size(TVLabels),
               {"Live", "20:41:07", "0MB", "0:00:00", "Mono", "PAL B/G", "Sleep", "12"},
               window.right() + 110);
    withLabels(DrawFMPanel(TLook::Normal), FMLabels, std::size(FMLabels),
               {"FM", "CH=3 (88.7M)", "20:41:07"}, window.right() + 110 + TVPanelWidth + gap);
    p.end();
    return sheet.scaled(sheet.size() * scale, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 4 && QByteArray(argv[1]) == "--sheet") {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication app(argc, argv);
        return Sheet(std::max(1, std::atoi(argv[2]))).save(QString::fromLocal8Bit(argv[3])) ? 0 : 1;
    }
    if (argc == 3 && QByteArray(argv[1]) == "--icons") {
        // The icon theme's sizes: <folder>/hicolor/NxN/apps/lyra.png.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication app(argc, argv);
        bool ok = true;
        for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
            const QString dir =
                QString("%1/hicolor/%2x%2/apps").arg(QString::fromLocal8Bit(argv[2])).arg(size);
            ok &= QDir().mkpath(dir) && Save(DrawIcon(size), dir, "lyra.png");
        }
        return ok ? 0 : 1;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: skin-gen OUTPUT_FOLDER | --icons FOLDER | --sheet N FILE\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "skin-gen: cannot create %s\n", argv[1]);
        return 1;
    }

    using namespace Skin;
    bool ok = true;
    const TLook looks[LookCount] = {TLook::Disabled, TLook::Normal, TLook::Pressed, TLook::Hover};
    for (int i = 0; i < LookCount; ++i) {
        ok &= Save(DrawTVPanel(looks[i]), folder, TVLookFiles[i]);
        ok &= Save(DrawFMPanel(looks[i]), folder, FMLookFiles[i]);
    }
    ok &= Save(DrawPanelMask(TVPanelWidth, TVPanelHeight), folder, TVMaskFile);
    ok &= Save(DrawPanelMask(FMPanelWidth, FMPanelHeight), folder, FMMaskFile);
    for (int i = 0; i < 3; ++i)
        ok &= Save(DrawMenuImage(i), folder, MenuLookFiles[i]);
    ok &= Save(DrawBorderTop(), folder, BorderTopFile);
    ok &= Save(DrawBorderBottom(), folder, BorderBottomFile);
    ok &= Save(DrawBorderSide(true), folder, BorderLeftFile);
    ok &= Save(DrawBorderSide(false), folder, BorderRightFile);
    ok &= Save(DrawTitle(), folder, TitleFile);
    return ok ? 0 : 1;
}
