// A V4L2 backend that answers from recorded card descriptions instead of a
// driver: the saa7134 and cx88 answers below were taken from those drivers
// (card names, inputs, tuner ranges, standards, controls). Tests install it
// with SetV4l2Backend to drive the hardware paths on a machine without a
// card; it keeps the state a driver keeps (input, frequency, standard, audio
// mode, control values) and the names of the ioctls it was asked.
#pragma once

#include <QStringList>
#include <map>
#include <vector>

#include "platform/v4l2_device.h"

struct TRecordedInput
{
    QString Name;
    __u32 Type = V4L2_INPUT_TYPE_CAMERA;
};

struct TRecordedControl
{
    __u32 Id;
    __s32 Minimum, Maximum, Step, Default;
};

struct TRecordedCard
{
    QString Path;
    QString RadioPath; // empty: no radio node
    QString Driver, Card, BusInfo;
    QString UsbVendor, UsbProduct;
    __u32 Capabilities = 0; // device caps of the capture node
    std::vector<TRecordedInput> Inputs;
    bool HasTuner = false;
    __u32 TunerLow = 0, TunerHigh = 0; // 62.5 kHz units
    __u32 RadioLow = 0, RadioHigh = 0; // 62.5 Hz units
    __u32 RxSubchans = V4L2_TUNER_SUB_MONO;
    std::vector<std::pair<v4l2_std_id, QString>> Standards;
    std::vector<TRecordedControl> Controls;
    std::vector<__u32> PixelFormats;
    // The driver fills the current input's status in VIDIOC_ENUMINPUT.
    bool InputStatus = true;
};

TRecordedCard RecordedSaa7134Card(const QString &path = "/dev/video0");
TRecordedCard RecordedCx88Card(const QString &path = "/dev/video1");

class TV4l2Replay : public TV4l2Backend
{
public:
    explicit TV4l2Replay(std::vector<TRecordedCard> cards);

    QStringList Nodes() override;
    int Open(const QString &path) override;
    void Close(int fd) override;
    int Ioctl(int fd, unsigned long request, void *arg) override;
    QString DeviceAttribute(const QString &path, const QString &attribute) override;

    // Driver state, per capture node.
    struct TState
    {
        int Input = 0;
        __u32 Frequency = 0;
        __u32 RadioFrequency = 0;
        v4l2_std_id Std = 0;
        __u32 AudMode = V4L2_TUNER_MODE_MONO;
        // The carrier the card locks to (Hz); 0 = no signal anywhere.
        int64_t CarrierHz = 0;
        // The FM station the radio node hears (Hz, within 100 kHz); 0 = none.
        int64_t RadioCarrierHz = 0;
        std::map<__u32, __s32> Controls;
    };
    std::map<QString, TState> State;
    QStringList Calls; // "VIDIOC_S_INPUT /dev/video0"
    int OpenCount = 0;
    // Descriptors open on a node right now.
    int OpenDescriptors(const QString &path) const;

private:
    const TRecordedCard *CardOf(int fd, bool *radio) const;
    std::vector<TRecordedCard> Cards;
    std::map<int, QString> Open_;
    int NextFd = 100;
};
