#include "app/forms/sleep_timer.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

#include "app/forms/plain_text.h"
#include "app/main_info.h"
#include "platform/instance_channel.h"
#include "platform/log.h"
#include "platform/messages.h"

namespace {

TPowerOffAction &PowerOff()
{
    static TPowerOffAction action = LoginManagerPowerOff;
    return action;
}

void Translate(QWidget *w, const char *key, const std::function<void(const QString &)> &set)
{
    const QString t = TranslateKey(key);
    if (!t.isEmpty()) {
        set(t);
        w->setToolTip(PlainToolTip(t));
    }
}

} // namespace

TFormSleepingTimer::TFormSleepingTimer(QWidget *parent) : QDialog(parent)
{
    setObjectName("FormSleepingTimer");
    setWindowTitle("Set Sleeping timer");
    TrackBarSleepingTimer = new QSlider(Qt::Horizontal, this);
    TrackBarSleepingTimer->setRange(0, 300);
    TrackBarSleepingTimer->setValue(30);
    TrackBarSleepingTimer->setPageStep(10);
    TrackBarSleepingTimer->setMinimumWidth(260);
    LabelMin = new QLabel("0", this);
    LabelMax = new QLabel(QString::number(TrackBarSleepingTimer->maximum()), this);
    LabelSleeping = new QLabel("Sleeping timer to shutdown: ", this);
    LabelTimerValue = new QLabel(this);
    LabelMinute = new QLabel("Minute", this);
    for (QLabel *l : {LabelMin, LabelMax, LabelSleeping, LabelTimerValue, LabelMinute})
        l->setTextFormat(Qt::PlainText);
    BitBtnOK = new QPushButton("OK", this);
    BitBtnCancel = new QPushButton("Cancel", this);
    BitBtnOK->setDefault(true);

    Translate(this, "SleepTimer", [this](const QString &t) { setWindowTitle(t); });
    Translate(LabelSleeping, "Shutdown", [this](const QString &t) { LabelSleeping->setText(t); });
    Translate(LabelMinute, "Minute", [this](const QString &t) { LabelMinute->setText(t); });
    Translate(BitBtnOK, "OK", [this](const QString &t) { BitBtnOK->setText(t); });
    Translate(BitBtnCancel, "Cancel", [this](const QString &t) { BitBtnCancel->setText(t); });

    auto *grid = new QGridLayout(this);
    auto *value = new QHBoxLayout;
    value->addWidget(LabelSleeping);
    value->addWidget(LabelTimerValue);
    value->addWidget(LabelMinute);
    value->addStretch();
    grid->addLayout(value, 0, 0, 1, 3);
    grid->addWidget(LabelMin, 1, 0);
    grid->addWidget(TrackBarSleepingTimer, 1, 1);
    grid->addWidget(LabelMax, 1, 2);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BitBtnOK);
    buttons->addWidget(BitBtnCancel);
    grid->addLayout(buttons, 2, 0, 1, 3);

    connect(TrackBarSleepingTimer, &QSlider::valueChanged, this,
            [this](int v) { LabelTimerValue->setText(QString::number(v)); });
    if (MainInfo && MainInfo->SleepMinutes > 0)
        TrackBarSleepingTimer->setValue(std::min(MainInfo->SleepMinutes, 300));
    LabelTimerValue->setText(QString::number(TrackBarSleepingTimer->value()));
    connect(BitBtnOK, &QPushButton::clicked, this, &TFormSleepingTimer::BitBtnOKClick);
    connect(BitBtnCancel, &QPushButton::clicked, this, &TFormSleepingTimer::BitBtnCancelClick);
    // Closing the window is a Cancel.
    connect(this, &QDialog::rejected, this, [] {
        if (MainInfo)
            MainInfo->SleepMinutes = 0;
    });
}

void TFormSleepingTimer::BitBtnOKClick()
{
    if (MainInfo)
        MainInfo->SleepMinutes = TrackBarSleepingTimer->value();
    accept();
}

void TFormSleepingTimer::BitBtnCancelClick()
{
    reject();
}

bool RunSleepTimerDialog(QWidget *parent)
{
    TFormSleepingTimer dialog(parent);
    return dialog.exec() == QDialog::Accepted;
}

void SetPowerOffAction(TPowerOffAction action)
{
    PowerOff() = action ? std::move(action) : TPowerOffAction(LoginManagerPowerOff);
}

bool LoginManagerPowerOff()
{
    QDBusInterface login("org.freedesktop.login1", "/org/freedesktop/login1",
                         "org.freedesktop.login1.Manager", QDBusConnection::systemBus());
    if (!login.isValid()) {
        qCWarning(lcApp) << "the login manager is not reachable:" << login.lastError().message();
        return false;
    }
    // Not interactive: a policy that wants a password refuses instead of
    // waiting for an answer nobody is there to give.
    const QDBusMessage reply = login.call("PowerOff", false);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        qCWarning(lcApp) << "the login manager refused to power off:" << reply.errorMessage();
        return false;
    }
    return true;
}

int SleepExpired()
{
    if (InstanceListening(AgentName) && PostInstanceMessage(AgentName, {AgentSleepExpired, 0, 0}))
        return 1;
    return PowerOff() && PowerOff()() ? 2 : 0;
}
