// The video window as the engines see it: the renderer a graph ends in, and
// the few display settings an engine decides. The window itself is a widget
// (platform/video_window.h) that only the shell creates: it installs a host
// at start-up, and an engine's CreateVideoWindow asks that host for a new
// window. Without a host there is no video window, and a render that needs
// one fails as it would without a renderer.
//
// GUI thread only. The host owns nothing it hands out: the engine frees its
// window (a plain delete through this interface), or the window's owner does
// first, in which case OnDestroyed tells the engine.
#pragma once

#include <functional>

class TFilterGraph;
class TGraphFilter;

class IVideoWindow
{
public:
    enum TAspectRatio
    {
        AspectStretched,
        AspectKeep
    };

    virtual ~IVideoWindow() = default;

    // Joins the graph with a renderer (added while the graph is active);
    // null leaves it and drops the renderer.
    virtual void SetFilterGraph(TFilterGraph *graph) = 0;
    // The renderer filter in the graph; null before SetFilterGraph.
    virtual TGraphFilter *Renderer() const = 0;
    // True when a window-system sink draws into the window.
    virtual bool OverlayInUse() const = 0;
    virtual void SetAspectRatio(TAspectRatio aspect) = 0;
    // Filling the owner inside its borders, or the picture-in-picture inset.
    virtual void SetInset(bool inset) = 0;

    // Called once from the window's destructor, whoever frees it.
    std::function<void()> OnDestroyed;
};

struct TVideoWindowRequest
{
    // Paint frames through the toolkit instead of lending the native window
    // to a window-system sink.
    bool DoNotUseOverlay = false;
    // Start as the picture-in-picture inset.
    bool Inset = false;
};

class IVideoWindowHost
{
public:
    virtual ~IVideoWindowHost() = default;
    // A new window in the host's place (its owner, borders, menu and mouse
    // and key handlers), shown when the host has an owner; null when none
    // can be made.
    virtual IVideoWindow *CreateVideoWindow(const TVideoWindowRequest &request) = 0;
};

// The installed host (not owned); null when the shell has installed none.
IVideoWindowHost *VideoWindowHost();
void SetVideoWindowHost(IVideoWindowHost *host);
