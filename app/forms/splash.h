// The start-up splash picture "QLOGO.BMP" from the program folder.
#pragma once

void ShowSplash();
void RefreshSplash();
void HideSplash();
bool SplashVisible();
