// Readable names of the command numbers, for lyra-remote and its users.
#pragma once

#include <QList>
#include <QString>

struct TCommandName
{
    int Command;
    const char *Name;
    const char *Description;
};

// Every command of the dispatcher, by number.
const QList<TCommandName> &CommandNames();

// A name or a decimal number of a known command; -1 otherwise.
int CommandFromText(const QString &text);
