#include "app/snapshot_module.h"

#include "app/startup.h"
#include "playback/snapshot_info.h"

void InitializeSnapshotModule()
{
    if (!SnapshotInfo)
        SnapshotInfo = new TSnapshotInfo;
    StartupHooks.FreeSnapshotStore = [] {
        if (SnapshotInfo)
            SnapshotInfo->Clear();
        delete SnapshotInfo;
        SnapshotInfo = nullptr;
    };
}

void FinalizeSnapshotModule()
{
    if (StartupHooks.FreeSnapshotStore)
        StartupHooks.FreeSnapshotStore();
    StartupHooks.FreeSnapshotStore = nullptr;
}

QByteArray SaveNewestSnapshot(const QString &fileName)
{
    if (fileName.isEmpty())
        return "no file name";
    if (!SnapshotInfo || SnapshotInfo->Count() == 0)
        return "no snapshot";
    QString error;
    if (!SnapshotInfo->SaveOne(0, fileName, &error))
        return error.isEmpty() ? QByteArray("cannot write the file") : error.toUtf8();
    return {};
}
