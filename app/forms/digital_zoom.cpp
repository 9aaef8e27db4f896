#include "app/forms/digital_zoom.h"

#include <QLabel>
#include <QSlider>

#include "app/forms/video_display.h"
#include "platform/messages.h"

TFormDigitalZoom::TFormDigitalZoom(IVideoDisplay *display, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), Display(display)
{
    setObjectName("FormDigitalZoom");
    setFixedSize(212, 54);
    const QString text = TranslateKey("DigitalZoom");
    LabelZoom = new QLabel(text.isEmpty() ? QString("Digital Zoom:") : text, this);
    LabelZoom->setTextFormat(Qt::PlainText);
    LabelZoom->setGeometry(8, 4, 196, 18);
    LabelZoom->setStyleSheet("color: #ffff00; font-weight: bold;");
    TrackBarZoom = new QSlider(Qt::Horizontal, this);
    TrackBarZoom->setRange(0, 99);
    TrackBarZoom->setGeometry(8, 24, 196, 24);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Display ? Display->ColorKey() : QColor(Qt::black));
    setPalette(pal);
    if (Display)
        TrackBarZoom->setValue(Display->DigitalZoom());
    connect(TrackBarZoom, &QSlider::valueChanged, this, [this](int v) {
        if (Display)
            Display->SetDigitalZoom(v);
        IdleCount = 0;
    });
    TimerCheckResult.setInterval(1000);
    connect(&TimerCheckResult, &QTimer::timeout, this, &TFormDigitalZoom::TimerCheckResultTimer);
    TimerCheckResult.start();
}

void TFormDigitalZoom::TimerCheckResultTimer()
{
    if (IdleCount > 1) {
        TimerCheckResult.stop();
        accept();
    }
    ++IdleCount;
}

void ShowDigitalZoom(IVideoDisplay *display, const QPoint &at, QWidget *parent)
{
    TFormDigitalZoom form(display, parent);
    form.move(at);
    form.exec();
}
