// The skin layout: region point tests at the edges, the Enabled defaults,
// the language keys of the hints, loading the skin with its fallbacks, and
// the shipped artwork checked against the very regions the panels hit-test.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QRegion>

#include <gtest/gtest.h>

#include "app/ui_info.h"
#include "channels/languages.h"
#include "platform/messages.h"
#include "test_env.h"

namespace {

QString StagedSkin() { return QStringLiteral(LYRA_STAGED_DATA "/skins/default/"); }

QImage Staged(const char *name) { return QImage(StagedSkin() + name); }

// A copy of the shipped skin in a fresh folder, for tests that spoil files.
QString SkinCopy()
{
    const QString dir = TestEnv::NewFolder("skin") + "/";
    for (const QString &name : QDir(StagedSkin()).entryList(QDir::Files))
        QFile::copy(StagedSkin() + name, dir + name);
    return dir;
}

class RecordingPresenter : public IWarningPresenter
{
public:
    void Present(const QStringList &lines) override { Shown << lines.join('\n'); }
    void Close() override {}
    QStringList Shown;
};

} // namespace

TEST(UIInfoRegions, EdgesAreInclusiveAtLeftTopAndExclusiveAtRightBottom)
{
    const TUIInfo ui;
    // TV region 0, Minimized: 130,40,142,52.
    EXPECT_EQ(ui.TVPanelRegionAt(130, 40), 0);
    EXPECT_EQ(ui.TVPanelRegionAt(141, 51), 0);
    EXPECT_EQ(ui.TVPanelRegionAt(142, 45), TUIInfo::NoTVRegion);
    EXPECT_EQ(ui.TVPanelRegionAt(135, 52), TUIInfo::NoTVRegion);
    EXPECT_EQ(ui.TVPanelRegionAt(129, 45), TUIInfo::NoTVRegion);
    EXPECT_EQ(ui.TVPanelRegionAt(135, 39), TUIInfo::NoTVRegion);
    // Keys that touch: "1" ends where "2" begins.
    EXPECT_EQ(ui.TVPanelRegionAt(102, 120), TUIInfo::NoTVRegion);
    EXPECT_EQ(ui.TVPanelRegionAt(103, 120), 13);
    EXPECT_EQ(ui.TVPanelRegionAt(101, 128), 12);
    // Bars and lamp.
    EXPECT_EQ(ui.TVPanelRegionAt(27, 90), 38);
    EXPECT_EQ(ui.TVPanelRegionAt(173, 97), 38);
    EXPECT_EQ(ui.TVPanelRegionAt(174, 97), TUIInfo::NoTVRegion);
    EXPECT_EQ(ui.TVPanelRegionAt(145, 109), 39);
    EXPECT_EQ(ui.TVPanelRegionAt(155, 181), 39);
    EXPECT_EQ(ui.TVPanelRegionAt(170, 195), 37);
    // Volume down (to 183) and the mute lamp (from 182) share a row: the
    // lower number wins, as in a search from region 0.
    EXPECT_EQ(ui.TVPanelRegionAt(170, 182), 27);
    EXPECT_EQ(ui.TVPanelRegionAt(170, 183), 37);
    EXPECT_EQ(ui.TVPanelRegionAt(0, 0), TUIInfo::NoTVRegion);

    // FM: Frequency Down 42,65,50,71 and the needle over the dial's left end.
    EXPECT_EQ(ui.FMPanelRegionAt(42, 65), 22);
    EXPECT_EQ(ui.FMPanelRegionAt(49, 70), 22);
    EXPECT_EQ(ui.FMPanelRegionAt(50, 70), TUIInfo::NoFMRegion);
    EXPECT_EQ(ui.FMPanelRegionAt(35, 80), 36) << "the dial comes before the needle";
    EXPECT_EQ(ui.FMPanelRegionAt(35, 78), 37);
    EXPECT_EQ(ui.FMPanelRegionAt(128, 102), 34);
    EXPECT_EQ(ui.FMPanelRegionAt(129, 102), TUIInfo::NoFMRegion);

    // The menu image: 0,0,13,13 and 14,0,27,13 with a free column between.
    EXPECT_EQ(ui.MainWindowButtonAt(0, 0), 0);
    EXPECT_EQ(ui.MainWindowButtonAt(12, 12), 0);
    EXPECT_EQ(ui.MainWindowButtonAt(13, 5), TUIInfo::NoMainButton);
    EXPECT_EQ(ui.MainWindowButtonAt(14, 0), 1);
    EXPECT_EQ(ui.MainWindowButtonAt(26, 12), 1);
    EXPECT_EQ(ui.MainWindowButtonAt(27, 5), TUIInfo::NoMainButton);
    EXPECT_EQ(ui.MainWindowButtonAt(5, 13), TUIInfo::NoMainButton);
    EXPECT_EQ(ui.MainWindowButtonAt(-1, 0), TUIInfo::NoMainButton);
}

TEST(UIInfoRegions, EnabledDefaultsAndHints)
{
    const TUIInfo ui;
    for (const TUIRegion &r : ui.TVPanelRegions)
        EXPECT_EQ(r.Enabled, 0);
    for (const TUIRegion &r : ui.FMPanelRegions)
        EXPECT_EQ(r.Enabled, 0);
    for (const TUIRegion &r : ui.MainWindowRegions)
        EXPECT_EQ(r.Enabled, 1);
    EXPECT_EQ(ui.TVPanelRegions[3].Hint, "Switch video source");
    EXPECT_EQ(ui.TVPanelRegions[25].Hint, "Previous Channel");
    EXPECT_EQ(ui.TVPanelRegions[12].Hint, "1");
    EXPECT_EQ(ui.TVPanelRegions[21].Hint, "0");
    EXPECT_EQ(ui.TVPanelRegions[35].Hint, "TimeShift");
    EXPECT_TRUE(ui.TVPanelRegions[37].Hint.isEmpty());
    EXPECT_EQ(ui.FMPanelRegions[5].Hint, "Channel memorized");
    EXPECT_EQ(ui.FMPanelRegions[22].Hint, "Frequency Down");
    EXPECT_EQ(ui.MainWindowRegions[1].Hint, "Full screen");
    EXPECT_EQ(ui.TVPanelRegions[24].Rect(), QRect(82, 184, 23, 16));
}

TEST(UIInfoRegions, NoTwoButtonsOfAPanelOverlap)
{
    // Overlapping keys would make one of them unreachable. Only the mute
    // lamp's top row under Volume down and the needle over the dial are
    // allowed to share pixels.
    const auto check = [](const auto &regions, int buttons) {
        for (int i = 0; i < buttons; ++i)
            for (int j = i + 1; j < buttons; ++j)
                EXPECT_FALSE(regions[i].Rect().intersects(regions[j].Rect()))
                    << "regions " << i << " and " << j;
    };
    const TUIInfo ui;
    check(ui.TVPanelRegions, Skin::TVMuteLamp);
    check(ui.FMPanelRegions, Skin::FMMuteLamp);
}

TEST(UIInfoLanguage, HintsFollowTheLanguageKeys)
{
    const QString dir = TestEnv::NewFolder("lang") + "/Language/";
    TestEnv::WriteFile(dir + "Deutsch.lng",
                       "[language]=Deutsch\n"
                       "Minimize=Minimieren@Verkleinern\n"
                       "Exit=Beenden@Schliessen\n"
                       "FullScreen=Vollbild\n"
                       "FMFreqDown=Frequenz runter@Frequenz abwaerts\n"
                       "TimeShifting=Zeitversatz\n"
                       "TVMode=@Fernsehen\n");
    TestEnv::WriteFile(dir + "Plain.lng", "[language]=Plain\nHelp=Hilfe\n");
    TMultiLangInfo lang(TestEnv::WriteFile(dir + "Lang.cfg", "Deutsch\nPlain\n"));
    lang.SelectLanguage("Deutsch");

    TUIInfo ui;
    ui.ApplyLanguage(lang);
    // The same key reaches every group that has the region.
    EXPECT_EQ(ui.TVPanelRegions[0].Hint, "Verkleinern");
    EXPECT_EQ(ui.FMPanelRegions[0].Hint, "Verkleinern");
    EXPECT_EQ(ui.MainWindowRegions[0].Hint, "Verkleinern");
    EXPECT_EQ(ui.TVPanelRegions[1].Hint, "Schliessen");
    EXPECT_EQ(ui.FMPanelRegions[1].Hint, "Schliessen");
    EXPECT_EQ(ui.MainWindowRegions[1].Hint, "Vollbild") << "text without a hint part";
    EXPECT_EQ(ui.FMPanelRegions[22].Hint, "Frequenz abwaerts");
    EXPECT_EQ(ui.TVPanelRegions[35].Hint, "Zeitversatz");
    EXPECT_EQ(ui.FMPanelRegions[6].Hint, "Fernsehen") << "hint only";
    // Keys the language lacks, and regions without a key, keep English.
    EXPECT_EQ(ui.TVPanelRegions[2].Hint, "Help");
    EXPECT_EQ(ui.TVPanelRegions[9].Hint, "SAP");
    EXPECT_EQ(ui.TVPanelRegions[10].Hint, "iEPG");
    EXPECT_EQ(ui.TVPanelRegions[15].Hint, "4");

    // Another language: nothing of the previous one is left behind.
    lang.SelectLanguage("Plain");
    ui.ApplyLanguage(lang);
    EXPECT_EQ(ui.TVPanelRegions[0].Hint, "Minimized");
    EXPECT_EQ(ui.MainWindowRegions[1].Hint, "Full screen");
    EXPECT_EQ(ui.TVPanelRegions[2].Hint, "Hilfe");
    EXPECT_EQ(ui.FMPanelRegions[2].Hint, "Hilfe");
}

TEST(UIInfoLanguage, ShippedLanguagesNameEveryKey)
{
    // Every key the layout looks up exists in the shipped English file, so a
    // typo in either place shows up here.
    TMultiLangInfo lang(QStringLiteral(LYRA_STAGED_DATA "/Language/Lang.cfg"));
    lang.SelectLanguage("English");
    for (const auto *group : {static_cast<const Skin::TRegionDef *>(Skin::TVRegions),
                              static_cast<const Skin::TRegionDef *>(Skin::FMRegions),
                              static_cast<const Skin::TRegionDef *>(Skin::MainWindowButtons)}) {
        const int count = group == Skin::TVRegions ? Skin::TVRegionCount
                        : group == Skin::FMRegions ? Skin::FMRegionCount
                                                   : Skin::MainButtonCount;
        for (int i = 0; i < count; ++i)
            if (group[i].LanguageKey)
                EXPECT_FALSE(lang.Translate(group[i].LanguageKey).isEmpty()) << group[i].LanguageKey;
    }
}

TEST(SkinArtwork, StagedPicturesHaveTheirSizes)
{
    using namespace Skin;
    for (int i = 0; i < LookCount; ++i) {
        EXPECT_EQ(Staged(TVLookFiles[i]).size(), QSize(201, 313)) << TVLookFiles[i];
        EXPECT_EQ(Staged(FMLookFiles[i]).size(), QSize(FMPanelWidth, FMPanelHeight)) << FMLookFiles[i];
    }
    EXPECT_EQ(Staged(TVMaskFile).size(), QSize(201, 313));
    EXPECT_EQ(Staged(FMMaskFile).size(), QSize(FMPanelWidth, FMPanelHeight));
    for (const char *name : MenuLookFiles)
        EXPECT_EQ(Staged(name).size(), QSize(28, 14)) << name;
    EXPECT_EQ(Staged(BorderTopFile).height(), 17);
    EXPECT_EQ(Staged(BorderBottomFile).height(), 10);
    EXPECT_EQ(Staged(BorderLeftFile).width(), 10);
    EXPECT_EQ(Staged(BorderRightFile).width(), 10);
    EXPECT_FALSE(Staged(TitleFile).isNull());
}

namespace {

bool Differs(const QImage &a, const QImage &b, const Skin::TRect &r)
{
    for (int y = r.Top; y < r.Bottom; ++y)
        for (int x = r.Left; x < r.Right; ++x)
            if (a.pixel(x, y) != b.pixel(x, y))
                return true;
    return false;
}

// Each button's art sits on its rectangle: its pressed look differs from its
// normal look there, and outside every region all looks are the same picture
// (the panel copies only region rectangles between looks). extra: pixels
// allowed to differ outside the regions.
void CheckPanelArt(const char *const files[Skin::LookCount], const char *maskFile,
                   const Skin::TRegionDef *regions, int count, int buttons, const Skin::TRect &extra)
{
    std::array<QImage, Skin::LookCount> looks;
    for (int i = 0; i < Skin::LookCount; ++i)
        looks[i] = Staged(files[i]).convertToFormat(QImage::Format_ARGB32);
    const QImage mask = Staged(maskFile).convertToFormat(QImage::Format_ARGB32);
    for (int i = 0; i < buttons; ++i) {
        if (regions[i].Kind != Skin::TKind::Button)
            continue;
        EXPECT_TRUE(Differs(looks[1], looks[2], regions[i].Rect)) << files[2] << " region " << i;
        EXPECT_TRUE(Differs(looks[1], looks[3], regions[i].Rect)) << files[3] << " region " << i;
        EXPECT_TRUE(Differs(looks[1], looks[0], regions[i].Rect)) << files[0] << " region " << i;
    }
    int strays = 0;
    for (int y = 0; y < mask.height(); ++y)
        for (int x = 0; x < mask.width(); ++x) {
            bool inRegion = extra.Contains(x, y);
            for (int i = 0; i < count && !inRegion; ++i)
                inRegion = regions[i].Rect.Contains(x, y);
            if (inRegion) {
                EXPECT_EQ(qAlpha(mask.pixel(x, y)), 255) << maskFile << " at " << x << "," << y;
                continue;
            }
            for (int l = 0; l < Skin::LookCount; ++l)
                if (looks[l].pixel(x, y) != looks[1].pixel(x, y) && strays++ < 5)
                    ADD_FAILURE() << files[l] << " differs at " << x << "," << y;
            // The looks are opaque exactly where the mask is.
            EXPECT_EQ(qAlpha(looks[1].pixel(x, y)) == 255, qAlpha(mask.pixel(x, y)) == 255)
                << files[1] << " at " << x << "," << y;
        }
    EXPECT_EQ(strays, 0) << files[1] << ": looks differ outside the regions";
    EXPECT_EQ(qAlpha(mask.pixel(0, 0)), 0) << "the corners lie outside the shape";
    EXPECT_EQ(qAlpha(mask.pixel(mask.width() - 1, mask.height() - 1)), 0);
}

} // namespace

TEST(SkinArtwork, TVPanelButtonsSitOnTheirRegions)
{
    // The position marker is copied as a 6 x 13 slice centred on the bar,
    // so the hover look may differ in the rows just above and below it.
    const Skin::TRect &bar = Skin::TVRegions[Skin::TVPositionBar].Rect;
    CheckPanelArt(Skin::TVLookFiles, Skin::TVMaskFile, Skin::TVRegions, Skin::TVRegionCount,
                  Skin::TVMuteLamp, {bar.Left - 3, bar.Top - 3, bar.Right + 3, bar.Bottom + 3});
}

TEST(SkinArtwork, FMPanelButtonsSitOnTheirRegions)
{
    const Skin::TRect &bar = Skin::FMRegions[Skin::FMPositionBar].Rect;
    CheckPanelArt(Skin::FMLookFiles, Skin::FMMaskFile, Skin::FMRegions, Skin::FMRegionCount,
                  Skin::FMMuteLamp, {bar.Left - 3, bar.Top - 5, bar.Right + 3, bar.Bottom + 5});
}

TEST(SkinArtwork, MenuImageButtonsDifferByLook)
{
    const QImage normal = Staged(Skin::MenuLookFiles[0]);
    for (int look = 1; look < 3; ++look)
        for (const Skin::TRegionDef &button : Skin::MainWindowButtons)
            EXPECT_TRUE(Differs(normal, Staged(Skin::MenuLookFiles[look]), button.Rect))
                << Skin::MenuLookFiles[look];
}

TEST(SkinLoading, LoadsTheShippedSkinWithItsShape)
{
    TUIInfo ui;
    ASSERT_TRUE(ui.LoadSkin(SkinCopy(), QString())) << ui.SkinErrors.join('\n').toStdString();
    EXPECT_TRUE(ui.SkinErrors.isEmpty());
    for (const QImage &look : ui.TVPanelLooks)
        EXPECT_EQ(look.size(), QSize(201, 313));
    EXPECT_EQ(ui.MenuLooks[2].size(), QSize(28, 14));
    EXPECT_EQ(ui.BorderTop.height(), 17);
    const QRegion shape(ui.TVPanelMask);
    EXPECT_FALSE(shape.contains(QPoint(0, 0)));
    EXPECT_FALSE(shape.contains(QPoint(200, 312)));
    for (const TUIRegion &r : ui.TVPanelRegions)
        EXPECT_TRUE(shape.contains(r.Rect())) << r.Hint.toStdString();
    const QRegion fmShape(ui.FMPanelMask);
    for (const TUIRegion &r : ui.FMPanelRegions)
        EXPECT_TRUE(fmShape.contains(r.Rect())) << r.Hint.toStdString();
}

TEST(SkinLoading, AUserPictureOfTheWrongSizeFallsBackToTheShippedOne)
{
    const QString folder = SkinCopy();
    QImage wrong(100, 100, QImage::Format_ARGB32);
    wrong.fill(Qt::red);
    ASSERT_TRUE(wrong.save(folder + "tv_pressed.png"));
    QFile::remove(folder + "menu_hover.png");
    TestEnv::WriteFile(folder + "fm_mask.png", "not a picture");

    TUIInfo ui;
    EXPECT_TRUE(ui.LoadSkin(folder, StagedSkin()));
    ASSERT_EQ(ui.SkinErrors.size(), 3) << ui.SkinErrors.join('\n').toStdString();
    EXPECT_TRUE(ui.SkinErrors[0].contains("tv_pressed.png is 100 x 100 pixels, not 201 x 313"));
    EXPECT_TRUE(ui.SkinErrors.join('\n').contains("menu_hover.png is missing"));
    EXPECT_TRUE(ui.SkinErrors.join('\n').contains("fm_mask.png cannot be read"));
    EXPECT_EQ(ui.TVPanelLooks[LookPressed], Staged("tv_pressed.png").convertToFormat(
                                                 QImage::Format_ARGB32_Premultiplied));
    EXPECT_FALSE(ui.FMPanelMask.isNull());
}

TEST(SkinLoading, AUserPictureIsUsedAndAMaskWithoutAlphaWorks)
{
    const QString folder = SkinCopy();
    // A plain black-and-white mask: the white square is the shape.
    QImage mask(201, 313, QImage::Format_RGB32);
    mask.fill(Qt::black);
    for (int y = 50; y < 100; ++y)
        for (int x = 50; x < 100; ++x)
            mask.setPixel(x, y, qRgb(255, 255, 255));
    ASSERT_TRUE(mask.save(folder + "tv_mask.png"));
    TUIInfo ui;
    EXPECT_TRUE(ui.LoadSkin(folder, StagedSkin()));
    EXPECT_TRUE(ui.SkinErrors.isEmpty());
    const QRegion shape(ui.TVPanelMask);
    EXPECT_EQ(shape.boundingRect(), QRect(50, 50, 50, 50));
}

TEST(SkinLoading, NothingToFallBackToIsAnError)
{
    RecordingPresenter presenter;
    SetWarningPresenter(&presenter);
    TUIInfo ui;
    EXPECT_FALSE(ui.LoadSkin(TestEnv::NewFolder("empty") + "/", TestEnv::NewFolder("none") + "/"));
    EXPECT_EQ(ui.SkinErrors.size(), 18);
    EXPECT_TRUE(ui.TVPanelLooks[0].isNull());
    EXPECT_TRUE(ui.TVPanelMask.isNull());

    // At start-up the program folder has no skin yet and the shipped one is
    // found: no warning. With both gone the user is told once.
    CreateUIInfo();
    EXPECT_TRUE(presenter.Shown.isEmpty()) << presenter.Shown.join('\n').toStdString();
    ASSERT_NE(UIInfo, nullptr);
    EXPECT_FALSE(UIInfo->TVPanelLooks[LookNormal].isNull());
    FreeUIInfo();
    EXPECT_EQ(UIInfo, nullptr);
    SetWarningPresenter(nullptr);
}
