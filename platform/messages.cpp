#include "platform/messages.h"

#include <map>

#include "platform/log.h"

namespace {

const std::map<int, const char *> &Table()
{
    static const std::map<int, const char *> table = {
        {1000, "Cannot Set capture device..."},
        {1001, "Cannot init Direct show interface..."},
        {1002, "Cannot preview, maybe some program use same interface or something wrong..."},
        {1003, "Cannot find any video capture interface..."},
        {1004, "Cannot find any audio capture interface..."},
        {1005, "Cannot run this function now..."},
        {1006, "No channel is need to preview..."},
        {1007, "Cannot load TV frequency table, please re-install application again..."},
        {1008, "Cannot do snapshot any more, memory is full or connect pin error..."},
        {1009, "Can not set playback position..."},
        {1010, "Cannot find tuner interface..."},
        {1011, "Cannot find tuner audio interface..."},
        {1012, "Cannot set TV or FM property..."},
        {1013, "Cannot set FM routing path..."},
        {1014, "Cannot support FM mode..."},
        {1015, "Cannot set to FM mode..."},
        {1016, "Cannot find de-interlace filter"},
        {1017, "Can not connect de-interlace"},
        {1018, "Cannot find MPEG1/2 capture filter interface.."},
        {1019, "Cannot find MPEG4 capture filter interface.."},
        {1020, "Cannot write file..."},
        {1021, "Cannot find write file interface..."},
        {1022, "Cannot set output filename..."},
        {1023, "Cannot find time-shifting source filter."},
        {1024, "Set audio format is failed, use default."},
        {1025, "Set video format is failed, use default."},
        {1026, "Cannot capture audio..."},
        {1027, "Cannot find MP3 compressor, fail to capture..."},
        {1028, "Cannot set playback rate, use normal..."},
        {1100, "Disk free space is too small to capture, please re-assign another file folder..."},
        {1101, "Disk will be full, terminate capture processing..."},
        {1102, "Cannot set video connector..."},
        {1103, "Main setting is corrupted, load default setting..."},
        {1104, "TV Cahnnel setting is corrupted, please re-set your TV channel..."},
        {1105, "No items to playback"},
        {1106, "Cannot delete current playback item..."},
        {2000, "Insert item is not allowed. It might be some conflicts occured, please assign "
               "new item."},
        {2001, "No item should do modify"},
        {2002, "This item cannot be edited..."},
        {2003, "New Edit item is not allowed. It might be some conflicts occured, please assign "
               "new one."},
        {2004, "Cannot accept this item, starting time is too early than now..."},
        {2005, "No duration"},
        {2006, "Scheduled agent setting file is corrupted..."},
        {2007, "You still have item(s) for scheduled recording, Exit now?"},
        {2008, "You have at least one scheduled item will be started within 3 miniutes, it "
               "doesn't suggest to turn power off now."},
        {2009, "Cannot set TV Video standard, please verify your TV video system again."},
        {2010, "Since your TV frequency table is modified by different TV system, you should "
               "execute TV-Setup agagin to set new TV system."},
    };
    return table;
}

IWarningPresenter *g_presenter = nullptr;
TranslateFn g_translate;
bool g_open = false;
QString g_openText;

void Present(const QStringList &lines)
{
    if (g_open)
        return; // dropped, not queued
    qCInfo(lcUi).noquote() << "warning:" << lines.join(" | ");
    if (!g_presenter)
        return;
    g_open = true;
    g_openText = lines.join('\n');
    g_presenter->Present(lines);
    g_open = false;
    g_openText.clear();
}

} // namespace

QString BuiltInMessageText(int number)
{
    const auto it = Table().find(number);
    return it == Table().end() ? QString() : QString::fromLatin1(it->second);
}

const QList<int> &MessageNumbers()
{
    static const QList<int> numbers = [] {
        QList<int> list;
        for (const auto &entry : Table())
            list.append(entry.first);
        return list;
    }();
    return numbers;
}

QString MessageText(int number)
{
    const QString translated = TranslateKey(QString::number(number));
    if (!translated.isEmpty())
        return translated;
    return BuiltInMessageText(number);
}

QStringList WarningLines(int number, int secondNumber)
{
    QStringList lines{MessageText(number)};
    if (secondNumber > 0)
        lines << MessageText(secondNumber);
    lines << QString::asprintf("(%d)", number);
    return lines;
}

void ShowWarning(int number, int secondNumber)
{
    if (g_open)
        return;
    Present(WarningLines(number, secondNumber));
}

void ShowWarningDetail(int number, const QString &detail)
{
    if (g_open)
        return;
    QStringList lines = WarningLines(number, 0);
    if (!detail.isEmpty())
        lines.insert(lines.size() - 1, detail);
    Present(lines);
}

void ShowWarningText(const QString &text)
{
    if (g_open)
        return;
    Present({text});
}

void CloseWarning()
{
    if (g_open && g_presenter)
        g_presenter->Close();
}

bool WarningOpen() { return g_open; }

QString OpenWarningText() { return g_openText; }

void SetWarningPresenter(IWarningPresenter *presenter) { g_presenter = presenter; }

void SetMessageTranslator(TranslateFn translate) { g_translate = std::move(translate); }

QString TranslateKey(const QString &key) { return g_translate ? g_translate(key) : QString(); }
