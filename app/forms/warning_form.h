// The one modal warning dialog of the program.
#pragma once

#include <QDialog>
#include <QStringList>

#include "platform/messages.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QFrame;

class TFormWarning : public QDialog
{
    Q_OBJECT
public:
    explicit TFormWarning(QWidget *parent = nullptr);

    void AddLine(const QString &line);
    QStringList Lines() const;

    QFrame *Bevel = nullptr;
    QLabel *ImageWarning = nullptr;
    QLabel *LabelWarning = nullptr;
    QPlainTextEdit *MemoErrorDesc = nullptr;
    QPushButton *BitBtnOK = nullptr;

private:
    void BitBtnOKClick();
};

// Shows warnings in TFormWarning; installed by the start-up code.
class TWarningDialogPresenter : public IWarningPresenter
{
public:
    void Present(const QStringList &lines) override;
    void Close() override;

    // The dialog being shown, if any.
    TFormWarning *Current() const { return Dialog; }

private:
    TFormWarning *Dialog = nullptr;
};
