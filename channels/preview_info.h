// Settings of the channel preview mosaic (PreviewInfo): an N x N grid of the
// enabled channels of the current list, or a custom grid of sources. Stored
// in "QPAVO2.cfg" with the channel table. GUI thread only.
#pragma once

#include <cstdint>
#include <functional>

#include "channels/channel_types.h"

class TChannelInfo;

class TPreviewInfo
{
public:
    // The channel table whose lists fill the grid (not owned; null means
    // the global ChannelInfo).
    explicit TPreviewInfo(TChannelInfo *channels = nullptr) : Channels(channels) { ResetPreview(); }

    int32_t Dimension = 3;
    uint8_t Customize = 0;
    int32_t StartChannel = 1;
    int32_t NextStart = 1;
    int32_t Interval = 3; // seconds per page
    TPreviewGrid Cells;
    TPreviewGrid CustomCells;

    // Enters or leaves the mosaic (the main window's mode change); installed
    // by the shell. Returns whether the mode changed.
    std::function<bool(bool on)> OnPreviewMode;

    void ResetPreview();
    int32_t CellCount() const;
    void FillCells(int32_t start);
    void SetDimension(int32_t n);
    void SetStartChannel(int32_t n);
    void SetCustomize(bool on) { Customize = on ? 1 : 0; }
    void Refill();
    void NextPage();

private:
    TChannelInfo *Table() const;
    TChannelInfo *Channels;
};

// Enters the mosaic when there is anything to show, else message 1006.
bool StartChannelPreview();
void StopChannelPreview();

extern TPreviewInfo *PreviewInfo;
