// The capture engine's part in start-up and shutdown: installs the hooks
// that create the engine (after applying --virtual-card), hand its settings
// to the settings store, run SelectDevices and free it.
#pragma once

void InitializeCaptureModule();
void FinalizeCaptureModule();
