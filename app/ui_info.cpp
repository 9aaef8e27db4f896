#include "app/ui_info.h"

#include <QFileInfo>
#include <QImageReader>

#include "channels/languages.h"
#include "platform/log.h"
#include "platform/messages.h"
#include "platform/program_folder.h"

TUIInfo *UIInfo = nullptr;

namespace {

template <size_t N>
void FillRegions(std::array<TUIRegion, N> &regions, const Skin::TRegionDef (&defs)[N], uint8_t enabled)
{
    for (size_t i = 0; i < N; ++i) {
        const Skin::TRect &r = defs[i].Rect;
        regions[i].Left = r.Left;
        regions[i].Top = r.Top;
        regions[i].Right = r.Right;
        regions[i].Bottom = r.Bottom;
        regions[i].Enabled = enabled;
        regions[i].Hint = QString::fromUtf8(defs[i].Hint);
    }
}

template <size_t N>
int RegionAt(const std::array<TUIRegion, N> &regions, int x, int y)
{
    for (size_t i = 0; i < N; ++i)
        if (regions[i].Contains(x, y))
            return int(i);
    return int(N);
}

template <size_t N>
void ResetGroup(std::array<TUIRegion, N> &regions, const Skin::TRegionDef (&defs)[N])
{
    for (size_t i = 0; i < N; ++i)
        regions[i].Hint = QString::fromUtf8(defs[i].Hint);
}

template <size_t N>
void TranslateGroup(std::array<TUIRegion, N> &regions, const Skin::TRegionDef (&defs)[N],
                    const TMultiLangInfo &lang)
{
    for (size_t i = 0; i < N; ++i) {
        if (!defs[i].LanguageKey)
            continue;
        QString text, hint;
        lang.Translate(QString::fromUtf8(defs[i].LanguageKey), text, hint);
        const QString word = hint.isEmpty() ? text : hint;
        if (!word.isEmpty())
            regions[i].Hint = word;
    }
}

// One picture of the skin, checked for its size. The reason for a refusal is
// returned in error; an empty expected size accepts any size that is not empty.
QImage ReadPicture(const QString &path, QSize expected, QString &error)
{
    if (!QFileInfo::exists(path)) {
        error = QStringLiteral("%1 is missing").arg(path);
        return {};
    }
    QImageReader reader(path);
    QImage image = reader.read();
    if (image.isNull()) {
        error = QStringLiteral("%1 cannot be read: %2").arg(path, reader.errorString());
        return {};
    }
    if (expected.isValid() && image.size() != expected) {
        error = QStringLiteral("%1 is %2 x %3 pixels, not %4 x %5")
                    .arg(path)
                    .arg(image.width())
                    .arg(image.height())
                    .arg(expected.width())
                    .arg(expected.height());
        return {};
    }
    return image;
}

QImage Premultiplied(const QImage &image)
{
    return image.isNull() ? image : image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// The shape from a mask picture: opaque pixels, or for a picture without an
// alpha channel the light ones, belong to the panel.
QBitmap ShapeFromMask(const QImage &mask)
{
    QImage alpha = mask;
    if (!mask.hasAlphaChannel()) {
        alpha = QImage(mask.size(), QImage::Format_ARGB32);
        for (int y = 0; y < mask.height(); ++y)
            for (int x = 0; x < mask.width(); ++x)
                alpha.setPixel(x, y, qGray(mask.pixel(x, y)) > 127 ? 0xffffffffu : 0u);
    }
    return QBitmap::fromImage(alpha.createAlphaMask(Qt::ThresholdAlphaDither | Qt::MonoOnly));
}

} // namespace

TUIInfo::TUIInfo()
{
    FillRegions(TVPanelRegions, Skin::TVRegions, 0);
    FillRegions(FMPanelRegions, Skin::FMRegions, 0);
    FillRegions(MainWindowRegions, Skin::MainWindowButtons, 1);
}

int TUIInfo::TVPanelRegionAt(int x, int y) const { return RegionAt(TVPanelRegions, x, y); }
int TUIInfo::FMPanelRegionAt(int x, int y) const { return RegionAt(FMPanelRegions, x, y); }
int TUIInfo::MainWindowButtonAt(int x, int y) const { return RegionAt(MainWindowRegions, x, y); }

void TUIInfo::ResetHints()
{
    ResetGroup(TVPanelRegions, Skin::TVRegions);
    ResetGroup(FMPanelRegions, Skin::FMRegions);
    ResetGroup(MainWindowRegions, Skin::MainWindowButtons);
}

void TUIInfo::ApplyLanguage(const TMultiLangInfo &lang)
{
    ResetHints();
    TranslateGroup(TVPanelRegions, Skin::TVRegions, lang);
    TranslateGroup(FMPanelRegions, Skin::FMRegions, lang);
    TranslateGroup(MainWindowRegions, Skin::MainWindowButtons, lang);
}

bool TUIInfo::LoadSkin(const QString &folder, const QString &fallbackFolder)
{
    SkinErrors.clear();
    bool complete = true;
    const auto load = [&](const char *name, QSize expected) {
        QString error;
        QImage image = ReadPicture(folder + name, expected, error);
        if (!image.isNull())
            return image;
        QString fallbackError;
        if (!fallbackFolder.isEmpty() && fallbackFolder != folder)
            image = ReadPicture(fallbackFolder + name, expected, fallbackError);
        if (image.isNull()) {
            complete = false;
            SkinErrors << (fallbackError.isEmpty() ? error : error + "; " + fallbackError);
        } else {
            SkinErrors << error + "; the shipped picture is used";
        }
        qCWarning(lcUi) << "skin:" << SkinErrors.last();
        return image;
    };

    using namespace Skin;
    const QSize tv(TVPanelWidth, TVPanelHeight), fm(FMPanelWidth, FMPanelHeight);
    for (int i = 0; i < LookCount; ++i) {
        TVPanelLooks[i] = Premultiplied(load(TVLookFiles[i], tv));
        FMPanelLooks[i] = Premultiplied(load(FMLookFiles[i], fm));
    }
    const QImage tvMask = load(TVMaskFile, tv);
    const QImage fmMask = load(FMMaskFile, fm);
    TVPanelMask = tvMask.isNull() ? QBitmap() : ShapeFromMask(tvMask);
    FMPanelMask = fmMask.isNull() ? QBitmap() : ShapeFromMask(fmMask);
    for (int i = 0; i < 3; ++i)
        MenuLooks[i] = Premultiplied(load(MenuLookFiles[i], QSize(MenuImageWidth, MenuImageHeight)));
    // Borders are stretched along the edge: only their thickness is fixed.
    const auto border = [&](const char *name, int width, int height) {
        QImage image = load(name, QSize());
        if (!image.isNull() && ((width && image.width() != width) || (height && image.height() != height))) {
            SkinErrors << QStringLiteral("%1%2 must be %3 pixels %4")
                              .arg(folder, name)
                              .arg(width ? width : height)
                              .arg(width ? "wide" : "high");
            qCWarning(lcUi) << "skin:" << SkinErrors.last();
            image = image.scaled(width ? width : image.width(), height ? height : image.height());
        }
        return Premultiplied(image);
    };
    BorderTop = border(BorderTopFile, 0, BorderTopHeight);
    BorderBottom = border(BorderBottomFile, 0, BorderBottomHeight);
    BorderLeft = border(BorderLeftFile, BorderSideWidth, 0);
    BorderRight = border(BorderRightFile, BorderSideWidth, 0);
    Title = Premultiplied(load(TitleFile, QSize()));
    return complete;
}

bool TUIInfo::LoadSkin() { return LoadSkin(SkinFolder(), ShippedSkinFolder()); }

QString SkinFolder() { return ProgramFolder::File(Skin::SkinFolderName); }

QString ShippedSkinFolder() { return ProgramFolder::ShippedDataDir() + "/" + Skin::SkinFolderName; }

void CreateUIInfo()
{
    delete UIInfo;
    UIInfo = new TUIInfo;
    if (MultiLangInfo)
        UIInfo->ApplyLanguage(*MultiLangInfo);
    if (!UIInfo->LoadSkin())
        ShowWarningText("The skin cannot be loaded:\n" + UIInfo->SkinErrors.join('\n'));
}

void FreeUIInfo()
{
    delete UIInfo;
    UIInfo = nullptr;
}
