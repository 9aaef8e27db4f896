// The layout of Lyra's skins: the hot regions of the TV panel, the FM panel
// and the main window's menu image, where the panels' labels sit, and the
// skin's file names.
//
// This header is the one source of truth for both sides: the skin generator
// (tools/skin-gen, which runs at build time and links only QtGui) draws every
// button exactly on these rectangles, and TUIInfo hit-tests the same
// rectangles at run time. It therefore stays free of Qt and of lyra_core.
#pragma once

#include <cstdint>

namespace Skin {

// Right and bottom are exclusive, left and top inclusive.
struct TRect
{
    int Left, Top, Right, Bottom;

    constexpr int Width() const { return Right - Left; }
    constexpr int Height() const { return Bottom - Top; }
    constexpr bool Contains(int x, int y) const
    {
        return x >= Left && x < Right && y >= Top && y < Bottom;
    }
};

// How a region behaves and is drawn.
enum class TKind : uint8_t {
    Button,     // a key with a symbol or label, in all four looks
    TextButton, // a light key under one of the panel's text buttons
    Lamp,       // the mute lamp: lit in the normal look, dark in the disabled one
    Bar,        // position or volume bar
    Display,    // FM dial and needle
    Logo,       // the About badge
};

// What the generator draws on a region.
enum class TGlyph : uint8_t {
    None, Minimize, Close, Help, Schedule, Setup, Mosaic, Camera, Moon, Sap,
    Digit0, Digit1, Digit2, Digit3, Digit4, Digit5, Digit6, Digit7, Digit8, Digit9,
    Enter, Recall, ChannelUp, ChannelDown, VolumeUp, VolumeDown, Mute,
    Play, Pause, Stop, Forward, Backward, Record, TimeShift, Logo,
    Memorize, StepUp, StepDown, SeekUp, SeekDown, FullScreen, Guide,
    Label, // the region's Label text (text buttons)
    Lamp, PositionBar, VolumeBar, Dial, Needle,
};

constexpr int NoCommand = -1;

struct TRegionDef
{
    TRect Rect;
    const char *Hint;        // built-in English hint; empty for bars and lamps
    int Command;             // command number sent on a click, or NoCommand
    const char *LanguageKey; // key of the hint's language text, or nullptr
    TKind Kind;
    TGlyph Glyph;
    const char *Label = nullptr; // printed on text buttons
};

constexpr int TVPanelWidth = 201;
constexpr int TVPanelHeight = 313;
constexpr int FMPanelWidth = 201;
constexpr int FMPanelHeight = 313;

// TV panel. Regions 0-37 are buttons (37 is the mute lamp), 38 the position
// bar, 39 the volume bar; 40 means no region.
constexpr int TVRegionCount = 40;
constexpr int TVMuteLamp = 37;
constexpr int TVPositionBar = 38;
constexpr int TVVolumeBar = 39;
inline constexpr TRegionDef TVRegions[TVRegionCount] = {
    {{130, 40, 142, 52}, "Minimized", 2, "Minimize", TKind::Button, TGlyph::Minimize},
    {{148, 40, 158, 52}, "Close", 1, "Exit", TKind::Button, TGlyph::Close},
    {{164, 40, 175, 52}, "Help", 11, "Help", TKind::Button, TGlyph::Help},
    {{21, 112, 77, 120}, "Switch video source", NoCommand, "SwitchSource", TKind::TextButton, TGlyph::None},
    {{22, 133, 38, 146}, "Scheduled recording", 10, "ScheduledRecording", TKind::Button, TGlyph::Schedule},
    {{40, 133, 57, 146}, "Setup", 7, "Setup", TKind::Button, TGlyph::Setup},
    {{59, 133, 77, 146}, "Channel preview", 8, "ChannelPreview", TKind::Button, TGlyph::Mosaic},
    {{22, 149, 38, 162}, "Snapshot", 1000, "Snapshot", TKind::Button, TGlyph::Camera},
    {{40, 149, 57, 162}, "Sleeping timer", 12, "SleepTimer", TKind::Button, TGlyph::Moon},
    {{59, 149, 77, 162}, "SAP", 300, nullptr, TKind::Button, TGlyph::Sap},
    {{22, 184, 38, 197}, "iEPG", NoCommand, nullptr, TKind::TextButton, TGlyph::Guide},
    {{40, 184, 57, 197}, "FM mode", NoCommand, "FMMode", TKind::TextButton, TGlyph::Label, "FM"},
    {{83, 112, 102, 129}, "1", 10001, nullptr, TKind::Button, TGlyph::Digit1},
    {{103, 112, 123, 129}, "2", 10002, nullptr, TKind::Button, TGlyph::Digit2},
    {{125, 112, 144, 129}, "3", 10003, nullptr, TKind::Button, TGlyph::Digit3},
    {{81, 130, 102, 146}, "4", 10004, nullptr, TKind::Button, TGlyph::Digit4},
    {{104, 130, 123, 146}, "5", 10005, nullptr, TKind::Button, TGlyph::Digit5},
    {{124, 130, 144, 146}, "6", 10006, nullptr, TKind::Button, TGlyph::Digit6},
    {{81, 148, 102, 164}, "7", 10007, nullptr, TKind::Button, TGlyph::Digit7},
    {{104, 148, 123, 164}, "8", 10008, nullptr, TKind::Button, TGlyph::Digit8},
    {{124, 148, 144, 164}, "9", 10009, nullptr, TKind::Button, TGlyph::Digit9},
    {{104, 166, 123, 183}, "0", 10000, nullptr, TKind::Button, TGlyph::Digit0},
    {{124, 166, 144, 183}, "Enter", 10020, "Enter", TKind::Button, TGlyph::Enter},
    {{81, 166, 102, 183}, "Recall last channel", 4003, "RecallChannel", TKind::Button, TGlyph::Recall},
    {{82, 184, 105, 200}, "Next Channel", 4001, "NextChannel", TKind::Button, TGlyph::ChannelUp},
    {{135, 184, 159, 200}, "Previous Channel", 4002, "PreChannel", TKind::Button, TGlyph::ChannelDown},
    {{161, 111, 177, 134}, "Volume up", 401, "VolumeUp", TKind::Button, TGlyph::VolumeUp},
    {{161, 159, 177, 183}, "Volume down", 402, "VolumeDown", TKind::Button, TGlyph::VolumeDown},
    {{158, 137, 179, 156}, "Mute", 403, "Mute", TKind::Button, TGlyph::Mute},
    {{52, 288, 66, 297}, "Play", 3000, "Play", TKind::Button, TGlyph::Play},
    {{50, 251, 60, 261}, "Pause", 1003, "Pause", TKind::Button, TGlyph::Pause},
    {{44, 217, 66, 224}, "Stop", 1002, "Stop", TKind::Button, TGlyph::Stop},
    {{88, 246, 96, 265}, "Forward", 1004, "Forward", TKind::Button, TGlyph::Forward},
    {{14, 247, 23, 265}, "Backward", 1005, "Backward", TKind::Button, TGlyph::Backward},
    {{116, 235, 132, 247}, "Capture", 1001, "Capture", TKind::Button, TGlyph::Record},
    {{156, 235, 174, 247}, "TimeShift", 2000, "TimeShifting", TKind::Button, TGlyph::TimeShift},
    {{130, 275, 178, 297}, "About", 13, "About", TKind::Logo, TGlyph::Logo},
    {{167, 182, 177, 196}, "", 403, nullptr, TKind::Lamp, TGlyph::Lamp},
    {{27, 90, 174, 98}, "", NoCommand, nullptr, TKind::Bar, TGlyph::PositionBar},
    {{145, 109, 156, 182}, "", NoCommand, nullptr, TKind::Bar, TGlyph::VolumeBar},
};

// FM panel. Regions 0-33 are buttons (33 is the mute lamp), 34 the position
// bar, 35 the volume bar, 36 the dial, 37 the dial's needle; 38 means no
// region. The needle is drawn in the hover look only: the panel copies it
// from there onto the dial.
//
// Region 6 (the "TV" text button) sits beside Capture. Where the TV panel's
// "FM" key lies (40,184,57,197) it would overlap Scheduled recording and
// Setup, and a click there could never reach both.
constexpr int FMRegionCount = 38;
constexpr int FMMuteLamp = 33;
constexpr int FMPositionBar = 34;
constexpr int FMVolumeBar = 35;
constexpr int FMDial = 36;
constexpr int FMNeedle = 37;
inline constexpr TRegionDef FMRegions[FMRegionCount] = {
    {{91, 36, 101, 46}, "Minimized", 2, "Minimize", TKind::Button, TGlyph::Minimize},
    {{106, 36, 117, 46}, "Close", 1, "Exit", TKind::Button, TGlyph::Close},
    {{122, 36, 133, 46}, "Help", 11, "Help", TKind::Button, TGlyph::Help},
    {{27, 184, 43, 196}, "Scheduled recording", 10, "ScheduledRecording", TKind::Button, TGlyph::Schedule},
    {{48, 184, 64, 196}, "Setup", 7, "Setup", TKind::Button, TGlyph::Setup},
    {{69, 184, 85, 196}, "Channel memorized", 6005, "FMMemorized", TKind::Button, TGlyph::Memorize},
    {{150, 236, 174, 249}, "TV mode", NoCommand, "TVMode", TKind::TextButton, TGlyph::Label, "TV"},
    {{26, 111, 45, 126}, "1", 10001, nullptr, TKind::Button, TGlyph::Digit1},
    {{47, 111, 66, 126}, "2", 10002, nullptr, TKind::Button, TGlyph::Digit2},
    {{68, 111, 87, 126}, "3", 10003, nullptr, TKind::Button, TGlyph::Digit3},
    {{26, 129, 45, 144}, "4", 10004, nullptr, TKind::Button, TGlyph::Digit4},
    {{47, 129, 66, 144}, "5", 10005, nullptr, TKind::Button, TGlyph::Digit5},
    {{68, 129, 87, 144}, "6", 10006, nullptr, TKind::Button, TGlyph::Digit6},
    {{26, 147, 45, 162}, "7", 10007, nullptr, TKind::Button, TGlyph::Digit7},
    {{47, 147, 66, 162}, "8", 10008, nullptr, TKind::Button, TGlyph::Digit8},
    {{68, 147, 87, 162}, "9", 10009, nullptr, TKind::Button, TGlyph::Digit9},
    {{47, 165, 66, 180}, "0", 10000, nullptr, TKind::Button, TGlyph::Digit0},
    {{68, 165, 87, 180}, "Enter", 10020, "Enter", TKind::Button, TGlyph::Enter},
    {{26, 165, 45, 180}, "Recall last channel", 4003, "RecallChannel", TKind::Button, TGlyph::Recall},
    {{116, 63, 126, 73}, "Next Channel", 4001, "NextChannel", TKind::Button, TGlyph::SeekUp},
    {{26, 63, 37, 73}, "Previous Channel", 4002, "PreChannel", TKind::Button, TGlyph::SeekDown},
    {{103, 63, 112, 73}, "Frequency Up", 6003, "FMFreqUp", TKind::Button, TGlyph::StepUp},
    {{42, 65, 50, 71}, "Frequency Down", 6004, "FMFreqDown", TKind::Button, TGlyph::StepDown},
    {{115, 111, 130, 132}, "Volume up", 401, "VolumeUp", TKind::Button, TGlyph::VolumeUp},
    {{115, 159, 130, 180}, "Volume down", 402, "VolumeDown", TKind::Button, TGlyph::VolumeDown},
    {{114, 137, 131, 154}, "Mute", 403, "Mute", TKind::Button, TGlyph::Mute},
    {{44, 284, 59, 292}, "Play", 3000, "Play", TKind::Button, TGlyph::Play},
    {{44, 246, 56, 258}, "Pause", 1003, "Pause", TKind::Button, TGlyph::Pause},
    {{44, 209, 59, 216}, "Stop", 1002, "Stop", TKind::Button, TGlyph::Stop},
    {{83, 246, 92, 258}, "Forward", 1004, "Forward", TKind::Button, TGlyph::Forward},
    {{10, 246, 19, 258}, "Backward", 1005, "Backward", TKind::Button, TGlyph::Backward},
    {{113, 236, 128, 249}, "Capture", 1001, "Capture", TKind::Button, TGlyph::Record},
    {{130, 275, 178, 297}, "About", 13, "About", TKind::Logo, TGlyph::Logo},
    {{116, 183, 133, 198}, "", 403, nullptr, TKind::Lamp, TGlyph::Lamp},
    {{24, 100, 129, 103}, "", NoCommand, nullptr, TKind::Bar, TGlyph::PositionBar},
    {{95, 111, 106, 194}, "", NoCommand, nullptr, TKind::Bar, TGlyph::VolumeBar},
    {{33, 79, 121, 88}, "", NoCommand, nullptr, TKind::Display, TGlyph::Dial},
    {{33, 77, 38, 89}, "", NoCommand, nullptr, TKind::Display, TGlyph::Needle},
};

// The main window's menu image (28 x 14): 0 minimizes, 1 goes full screen;
// 2 means no button.
constexpr int MenuImageWidth = 28;
constexpr int MenuImageHeight = 14;
constexpr int MainButtonCount = 2;
inline constexpr TRegionDef MainWindowButtons[MainButtonCount] = {
    {{0, 0, 13, 13}, "Minimized", 2, "Minimize", TKind::Button, TGlyph::Minimize},
    {{14, 0, 27, 13}, "Full screen", 3, "FullScreen", TKind::Button, TGlyph::FullScreen},
};

// The main window's border images are stretched along the window's edges;
// these are their fixed thicknesses.
constexpr int BorderTopHeight = 17;
constexpr int BorderBottomHeight = 10;
constexpr int BorderSideWidth = 10;

// Where the panels' labels and the LCD windows behind them lie, and the
// colours the labels are shown in (0xRRGGBB).
struct TLabelDef
{
    const char *Name;
    TRect Rect;
    uint32_t Color;
    int Align; // -1 left, 0 centre, 1 right
};
constexpr uint32_t LcdYellow = 0xffd23c;
constexpr uint32_t LcdRed = 0xff4a3d;
constexpr uint32_t LcdWhite = 0xe8eef2;
constexpr uint32_t LcdLime = 0x7dff5a;
// Text buttons keep the skin's light key face; their text is black, red
// while the mouse is over them.
constexpr uint32_t TextButtonFace = 0xc9ced6;

inline constexpr TRect TVDisplay = {19, 56, 182, 103};
inline constexpr TRect TVChannelDisplay = {107, 185, 133, 199};
inline constexpr TLabelDef TVLabels[] = {
    {"LabelPAVOState", {24, 58, 90, 69}, LcdRed, -1},
    {"LabelTime", {100, 58, 177, 69}, LcdYellow, 1},
    {"LabelDuration", {24, 69, 98, 79}, LcdWhite, -1},
    {"LabelCurretPos", {100, 69, 177, 79}, LcdWhite, 1},
    {"LabelTVChannelAudio", {24, 79, 70, 89}, LcdWhite, -1},
    {"LabelVideoStandard", {72, 79, 130, 89}, LcdWhite, 0},
    {"LabelSleep", {136, 79, 177, 89}, LcdLime, 1},
    {"LabelChannel", {108, 186, 132, 198}, LcdYellow, 0},
};

inline constexpr TRect FMDisplay = {20, 50, 134, 107};
inline constexpr TLabelDef FMLabels[] = {
    {"LabelPAVOState", {24, 51, 54, 62}, LcdRed, -1},
    {"LabelCurretPos", {54, 51, 130, 62}, LcdWhite, 1},
    {"LabelTime", {52, 63, 102, 74}, LcdYellow, 0},
};

// File names under the program folder's "skins/default/". Looks are stored
// in this order: disabled, normal, pressed, hover.
constexpr int LookCount = 4;
inline constexpr const char *SkinFolderName = "skins/default/";
inline constexpr const char *TVLookFiles[LookCount] = {
    "tv_disabled.png", "tv_normal.png", "tv_pressed.png", "tv_hover.png"};
inline constexpr const char *TVMaskFile = "tv_mask.png";
inline constexpr const char *FMLookFiles[LookCount] = {
    "fm_disabled.png", "fm_normal.png", "fm_pressed.png", "fm_hover.png"};
inline constexpr const char *FMMaskFile = "fm_mask.png";
// Menu image looks: normal, pressed, hover.
inline constexpr const char *MenuLookFiles[3] = {
    "menu_normal.png", "menu_pressed.png", "menu_hover.png"};
inline constexpr const char *BorderTopFile = "border_top.png";
inline constexpr const char *BorderBottomFile = "border_bottom.png";
inline constexpr const char *BorderLeftFile = "border_left.png";
inline constexpr const char *BorderRightFile = "border_right.png";
inline constexpr const char *TitleFile = "title.png";
constexpr int BorderLength = 64; // of the shipped border images, along the edge
constexpr int TitleWidth = 72;

} // namespace Skin
