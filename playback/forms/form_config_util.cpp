#include "playback/forms/form_config_util.h"

#include <QAbstractButton>
#include <QGridLayout>
#include <QLabel>

#include "app/forms/plain_text.h"
#include "channels/languages.h"

void ConfigCaption(QWidget *window, const char *key)
{
    if (!MultiLangInfo)
        return;
    const QString text = MultiLangInfo->Translate(key);
    if (!text.isEmpty())
        window->setWindowTitle(text);
}

void ConfigCaption(QAbstractButton *button, const char *key)
{
    if (!MultiLangInfo || !button)
        return;
    QString text, hint;
    if (!MultiLangInfo->Translate(key, text, hint) || text.isEmpty())
        return;
    button->setText(text);
    button->setToolTip(PlainToolTip(hint.isEmpty() ? text : hint));
}

QLabel *ConfigLabel(const QString &text, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setTextFormat(Qt::PlainText);
    return l;
}

QStringList StandardNames()
{
    return {"NTSC-M", "NTSC-J", "PAL-B/G",   "PAL-D/K",   "PAL- I",
            "PAL-M",  "PAL-N",  "SECAM-B/G", "SECAM-D/K", "SECAM-L"};
}

QStringList AudioModeNames(uint8_t systemCode)
{
    if (systemCode == 0 || systemCode == 11)
        return {"Mono", "Stereo", "None", "SAP", "SAP 2"};
    if (systemCode == 1)
        return {"Main", "Stereo", "None", "SUB", "Both"};
    return {"Mono", "Stereo", "Dual-A", "Dual-B", "Dual-C"};
}

void AddRow(QGridLayout *grid, const QString &label, QWidget *field)
{
    const int row = grid->rowCount();
    grid->addWidget(ConfigLabel(label), row, 0);
    grid->addWidget(field, row, 1);
}
