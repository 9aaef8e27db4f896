// Texts from language files and channel names are plain text: labels are
// set to plain, and a tooltip, which Qt renders as rich text whenever it
// looks like markup, is escaped when it does.
#pragma once

#include <QString>
#include <QTextDocument>

inline QString PlainToolTip(const QString &text)
{
    return Qt::mightBeRichText(text) ? Qt::convertFromPlainText(text) : text;
}
