// The skin layout: the hot regions of the TV panel, the FM panel and the main
// window's menu image, their enabled state and hints, and the skin pictures
// the panels and the main window draw from.
//
// Owned by the start-up code (created in stage 1, freed at shutdown); used on
// the GUI thread only.
#pragma once

#include <array>
#include <cstdint>

#include <QBitmap>
#include <QImage>
#include <QString>
#include <QStringList>

#include "app/skin_regions.h"

class QPoint;
class TMultiLangInfo;

struct TUIRegion
{
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    uint8_t Enabled = 0;
    QString Hint;

    // Left and top belong to the region, right and bottom do not.
    bool Contains(int x, int y) const { return x >= Left && x < Right && y >= Top && y < Bottom; }
    QRect Rect() const { return QRect(Left, Top, Right - Left, Bottom - Top); }
};

// The four looks of a panel, in the order of its skin files.
enum TSkinLook { LookDisabled = 0, LookNormal = 1, LookPressed = 2, LookHover = 3 };
// The three looks of the menu image.
enum TMenuLook { MenuNormal = 0, MenuPressed = 1, MenuHover = 2 };

class TUIInfo
{
public:
    // The values that mean "no region" in each group.
    static constexpr int NoTVRegion = Skin::TVRegionCount;
    static constexpr int NoFMRegion = Skin::FMRegionCount;
    static constexpr int NoMainButton = Skin::MainButtonCount;

    // Rectangles, English hints and the initial Enabled flags (0 on both
    // panels, 1 on the main window's buttons).
    TUIInfo();

    std::array<TUIRegion, Skin::TVRegionCount> TVPanelRegions;
    std::array<TUIRegion, Skin::FMRegionCount> FMPanelRegions;
    std::array<TUIRegion, Skin::MainButtonCount> MainWindowRegions;

    // The region under a point, or the group's "no region" value. Where two
    // regions overlap (the TV panel's Volume down and mute lamp share a row)
    // the lower number wins.
    int TVPanelRegionAt(int x, int y) const;
    int FMPanelRegionAt(int x, int y) const;
    int MainWindowButtonAt(int x, int y) const;

    // Replaces the hints by the language's texts of their keys (the hint part
    // of "key=text@hint" when there is one, else the text). Hints whose key
    // the language lacks go back to English, so switching languages never
    // leaves a previous language's word behind.
    void ApplyLanguage(const TMultiLangInfo &lang);
    void ResetHints();

    // Loads every skin picture from the folder; a file that is missing,
    // unreadable or of the wrong size is taken from the fallback folder (the
    // shipped skin) instead, and the reason is added to SkinErrors. Returns
    // false when some picture could be loaded from neither.
    bool LoadSkin(const QString &folder, const QString &fallbackFolder);
    // The program folder's skin with the shipped skin as fallback.
    bool LoadSkin();

    // Looks of the panels: disabled, normal, pressed, hover.
    std::array<QImage, Skin::LookCount> TVPanelLooks;
    std::array<QImage, Skin::LookCount> FMPanelLooks;
    // Set bits are the panel's shape, for QWidget::setMask.
    QBitmap TVPanelMask;
    QBitmap FMPanelMask;
    std::array<QImage, 3> MenuLooks;
    QImage BorderTop, BorderBottom, BorderLeft, BorderRight, Title;

    QStringList SkinErrors;
};

// The program folder's skin folder, with a trailing "/".
QString SkinFolder();
// The shipped skin folder, with a trailing "/".
QString ShippedSkinFolder();

// Start-up stage 1 creates the layout and loads the skin; shutdown frees it.
// A skin that cannot be loaded is reported once with ShowWarningText.
void CreateUIInfo();
void FreeUIInfo();

extern TUIInfo *UIInfo;
