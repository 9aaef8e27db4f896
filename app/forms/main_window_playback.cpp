// The main window's part in playback: the Playback dialog before a play
// list starts and the play-list window beside the main window while it
// plays.
#include "app/forms/main_window.h"
#include "playback/forms/play_list_menu.h"
#include "playback/forms/playback_form.h"

bool TFormMainWindow::ShowPlaybackDialog()
{
    // With the FM panel up the files to import are sound files.
    return RunPlaybackDialog(this, FMPanelVisible());
}

void TFormMainWindow::OpenPlayListWindow()
{
    OpenPlayListMenu(this);
}

void TFormMainWindow::ClosePlayListWindow()
{
    ClosePlayListMenu();
}

bool TFormMainWindow::PlayListWindowOpen() const
{
    return PlayListMenu() != nullptr;
}

void TFormMainWindow::PlayNextFromPlayListWindow()
{
    if (TFormPlayListMenu *window = PlayListMenu())
        window->PlaybackEnded();
}
