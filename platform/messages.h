// Numbered user messages. Engines raise them by number; the shell installs a
// presenter that shows them in the one warning dialog. Only one warning is
// shown at a time: a warning raised while another is open is dropped.
#pragma once

#include <functional>

#include <QString>
#include <QStringList>

// The language text for the message number when the current language has
// one, else the built-in English text; empty for unknown numbers.
QString MessageText(int number);

// The built-in English text only.
QString BuiltInMessageText(int number);

// Every number of the message table, in order.
const QList<int> &MessageNumbers();

// The memo lines ShowWarning shows for a pair of numbers.
QStringList WarningLines(int number, int secondNumber);

void ShowWarning(int number, int secondNumber = 0);
void ShowWarningText(const QString &text);
// The numbered message with a line of detail before its number (the device
// and the system's own words for what went wrong).
void ShowWarningDetail(int number, const QString &detail);
void CloseWarning();
bool WarningOpen();
QString OpenWarningText();

// Implemented by the shell (the warning dialog) and by tests.
class IWarningPresenter
{
public:
    virtual ~IWarningPresenter() = default;
    // Shows the lines modally; returns when the dialog has closed.
    virtual void Present(const QStringList &lines) = 0;
    // Ends the dialog being shown with the OK result.
    virtual void Close() = 0;
};

// The presenter is not owned. Without one, warnings go to the log only.
void SetWarningPresenter(IWarningPresenter *presenter);

// Looks up a key in the current language; installed by the language table.
using TranslateFn = std::function<QString(const QString &key)>;
void SetMessageTranslator(TranslateFn translate);
QString TranslateKey(const QString &key);
