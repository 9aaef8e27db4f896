#include "recorded_cards.h"

#include <QDir>
#include <QFile>

#include <alsa/asoundlib.h>

#include "test_env.h"

namespace RecordedCards {

bool Install()
{
#ifndef LYRA_RECORDED_CTL
    return false;
#else
    const QString plugin = QStringLiteral(LYRA_RECORDED_CTL);
    if (!QFile::exists(plugin))
        return false;
    const QString data = TestEnv::SourceDir() + "/tests/data/alsa/";
    const QString config =
        QString(
            "ctl_type.lyra_recorded { lib \"%1\" open \"_snd_ctl_lyra_recorded_open\" }\n"
            "ctl.%2 { type lyra_recorded file \"%3stac9271d-bt878.state\" state \"Intel\""
            " name \"HDA Intel\" }\n"
            "ctl.%4 { type lyra_recorded file \"%3stac9271d-bt878.state\" state \"Bt878\""
            " name \"Brooktree Bt878\" }\n"
            "ctl.%5 { type lyra_recorded file \"%3saa7134.state\" state \"SAA7134\""
            " name \"SAA7134\" exclusive [ \"Video Capture Switch\" \"Line Capture Switch\" ] }\n")
            .arg(plugin, Intel, data, Bt878, Saa7134);
    TestEnv::WriteFile(QDir::homePath() + "/.asoundrc", config.toUtf8());
    snd_config_update_free_global();
    return true;
#endif
}

} // namespace RecordedCards
