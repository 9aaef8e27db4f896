#include "platform/video_output.h"

namespace {
IVideoWindowHost *g_host = nullptr;
} // namespace

IVideoWindowHost *VideoWindowHost()
{
    return g_host;
}

void SetVideoWindowHost(IVideoWindowHost *host)
{
    g_host = host;
}
