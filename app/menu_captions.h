// Captions of the main window's pop-up menu items and their language keys.
// The main window reads MenuCaption for each item when told that the
// captions changed; the status captions are built from the same texts.
#pragma once

#include <QList>
#include <QString>

struct TMenuCaptionKey
{
    const char *Caption;
    const char *Key;
};

// Every translated item, in menu order.
const QList<TMenuCaptionKey> &MenuCaptionKeys();

// The current caption of the item with this key: the language's text after
// ApplyMenuLanguage, else the built-in caption. Unknown keys give the key.
QString MenuCaption(const QString &key);

// Takes the captions from the current language (a missing key keeps the
// built-in caption) and tells the main window.
void ApplyMenuLanguage();
