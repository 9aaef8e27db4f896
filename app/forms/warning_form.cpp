#include "app/forms/warning_form.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

#include "app/forms/plain_text.h"
#include "app/forms/plain_text.h"
#include "channels/languages.h"

TFormWarning::TFormWarning(QWidget *parent) : QDialog(parent)
{
    setObjectName("FormWarning");
    setWindowTitle("Warning");
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowMinimizeButtonHint);
    setModal(true);

    Bevel = new QFrame(this);
    Bevel->setFrameShape(QFrame::StyledPanel);
    Bevel->setFrameShadow(QFrame::Raised);

    ImageWarning = new QLabel(Bevel);
    ImageWarning->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(48, 48));
    ImageWarning->setAlignment(Qt::AlignTop);

    LabelWarning = new QLabel("Warning", Bevel);
    LabelWarning->setObjectName("LabelWarning");
    LabelWarning->setTextFormat(Qt::PlainText);
    QFont bold = LabelWarning->font();
    bold.setBold(true);
    LabelWarning->setFont(bold);

    MemoErrorDesc = new QPlainTextEdit(Bevel);
    MemoErrorDesc->setObjectName("MemoErrorDesc");
    MemoErrorDesc->setReadOnly(true);
    MemoErrorDesc->setStyleSheet("QPlainTextEdit { background: #c01818; color: white; "
                                 "font-weight: bold; }");
    MemoErrorDesc->setMinimumSize(300, 90);

    BitBtnOK = new QPushButton("OK", this);
    BitBtnOK->setObjectName("BitBtnOK");
    BitBtnOK->setDefault(true);
    connect(BitBtnOK, &QPushButton::clicked, this, &TFormWarning::BitBtnOKClick);

    auto *text = new QVBoxLayout;
    text->addWidget(LabelWarning);
    text->addWidget(MemoErrorDesc);
    auto *inner = new QHBoxLayout(Bevel);
    inner->addWidget(ImageWarning);
    inner->addLayout(text, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BitBtnOK);
    buttons->addStretch();
    auto *outer = new QVBoxLayout(this);
    outer->addWidget(Bevel);
    outer->addLayout(buttons);

    if (MultiLangInfo) {
        const QFont font = LanguageFont(*MultiLangInfo);
        setFont(font);
        QFont memoFont = font;
        memoFont.setBold(true);
        MemoErrorDesc->setFont(memoFont);
        QString caption, hint;
        if (MultiLangInfo->Translate("Warning", caption, hint)) {
            setWindowTitle(caption);
            LabelWarning->setText(caption);
        }
        if (MultiLangInfo->Translate("OK", caption, hint)) {
            BitBtnOK->setText(caption);
            BitBtnOK->setToolTip(PlainToolTip(hint));
        }
    }
    adjustSize();
    if (const QScreen *screen = QApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TFormWarning::AddLine(const QString &line)
{
    MemoErrorDesc->appendPlainText(line);
}

QStringList TFormWarning::Lines() const
{
    return MemoErrorDesc->toPlainText().split('\n');
}

void TFormWarning::BitBtnOKClick()
{
    accept();
}

void TWarningDialogPresenter::Present(const QStringList &lines)
{
    QPointer<TFormWarning> dialog = new TFormWarning;
    Dialog = dialog;
    for (const QString &line : lines)
        dialog->AddLine(line);
    dialog->exec();
    Dialog = nullptr;
    delete dialog;
}

void TWarningDialogPresenter::Close()
{
    if (Dialog)
        Dialog->accept();
}
