#include <QImage>

#include "capture/capture_info.h"
#include "platform/log.h"
#include "playback/snapshot_info.h"

bool TCaptureInfo::TakeSnapshot()
{
    if (!SnapshotInfo)
        return false;
    QImage picture;
    if (!Grabber || !Grabber->GrabFrame(picture) || picture.isNull()) {
        qCDebug(lcGst) << "snapshot: no frame to take";
        return false;
    }
    return SnapshotInfo->Insert(picture);
}
