#include "channels/preview_info.h"

#include <algorithm>

#include "channels/channel_info.h"
#include "platform/messages.h"

TPreviewInfo *PreviewInfo = nullptr;

TChannelInfo *TPreviewInfo::Table() const { return Channels ? Channels : ChannelInfo; }

void TPreviewInfo::ResetPreview()
{
    Cells = TPreviewGrid();
    CustomCells = TPreviewGrid();
    Dimension = 3;
    Interval = 3;
    Customize = 0;
}

int32_t TPreviewInfo::CellCount() const
{
    const int32_t all = Dimension * Dimension;
    if (Customize)
        return all;
    const int32_t enabled = Table() ? Table()->CountEnabled() : 0;
    return enabled >= all ? all : enabled;
}

void TPreviewInfo::FillCells(int32_t start)
{
    const TChannelInfo *table = Table();
    const int32_t count = CellCount();
    const int32_t n = std::clamp(Dimension, 2, PreviewGridMax);
    int32_t ch = start;
    int32_t filled = 0;
    for (int row = 0; row < n; ++row) {
        for (int col = 0; col < n && filled < count; ++col) {
            Cells[row][col] = TPreviewCell{1, ch};
            ++filled;
            if (table)
                ch = table->FindNext(ch);
        }
    }
    NextStart = ch;
}

void TPreviewInfo::SetDimension(int32_t n)
{
    if (n == Dimension)
        return;
    Dimension = std::clamp(n, 2, PreviewGridMax);
    FillCells(StartChannel);
}

void TPreviewInfo::SetStartChannel(int32_t n)
{
    if (!Customize)
        StartChannel = n;
}

void TPreviewInfo::Refill()
{
    if (!Customize)
        FillCells(StartChannel);
}

void TPreviewInfo::NextPage()
{
    SetStartChannel(NextStart);
    Refill();
}

bool StartChannelPreview()
{
    if (!PreviewInfo || PreviewInfo->CellCount() <= 0) {
        ShowWarning(1006);
        return false;
    }
    return PreviewInfo->OnPreviewMode && PreviewInfo->OnPreviewMode(true);
}

void StopChannelPreview()
{
    if (PreviewInfo && PreviewInfo->OnPreviewMode)
        PreviewInfo->OnPreviewMode(false);
}
