#include "platform/virtual_card.h"

#include <cerrno>
#include <cstdlib>

#include <QFile>
#include <QRegularExpression>

#include "platform/log.h"
#include "platform/program_folder.h"
#include "platform/text_util.h"

namespace {

TVirtualProfile Profile = TVirtualProfile::SAA7134;

struct TProfileInfo
{
    TVirtualProfile Profile;
    const char *Key;
    const char *Chip; // the words after "Lyra Virtual"
};

const TProfileInfo Profiles[] = {
    {TVirtualProfile::SAA7134, "saa7134", "Philips SAA7134"},
    {TVirtualProfile::Conexant88X, "cx88", "Conexant 88X"},
    {TVirtualProfile::EM2820, "em2820", "Empia EM2820"},
    {TVirtualProfile::EM2800, "em2800", "Empia EM2800"},
    {TVirtualProfile::Wis, "wis", "Wis GO7007"},
};

// Processing amplifier ranges as a saa7134 reports them (sharpness as a
// cx88 does); the picture follows them through videobalance.
struct TRange
{
    int Min, Max, Step, Def;
};
const TRange ProcAmpRanges[5] = {
    {0, 255, 1, 128}, {0, 127, 1, 68}, {-128, 127, 1, 0}, {0, 127, 1, 64}, {0, 15, 1, 8}};

int32_t ParseModes(const QString &text, bool *ok)
{
    int32_t modes = 0;
    *ok = true;
    for (const QString &word : text.split('+')) {
        const QString w = word.toLower();
        if (w == "mono")
            modes |= TVAudio_Mono;
        else if (w == "stereo")
            modes |= TVAudio_Stereo;
        else if (w == "langa")
            modes |= TVAudio_LangA;
        else if (w == "langb")
            modes |= TVAudio_LangB;
        else if (w == "langc")
            modes |= TVAudio_LangC;
        else
            *ok = false;
    }
    return modes;
}

} // namespace

bool SetVirtualCardProfile(const QString &name)
{
    for (const TProfileInfo &p : Profiles) {
        if (name.compare(p.Key, Qt::CaseInsensitive) == 0 ||
            name.compare(p.Chip, Qt::CaseInsensitive) == 0 ||
            (name.size() > 2 && ContainsText(p.Chip, name))) {
            Profile = p.Profile;
            return true;
        }
    }
    return false;
}

TVirtualProfile VirtualCardProfile()
{
    return Profile;
}

QStringList VirtualProfileNames()
{
    QStringList names;
    for (const TProfileInfo &p : Profiles)
        names << p.Key;
    return names;
}

QString VirtualProfileName(TVirtualProfile profile)
{
    for (const TProfileInfo &p : Profiles)
        if (p.Profile == profile)
            return p.Key;
    return {};
}

QString VirtualCardBaseName()
{
    for (const TProfileInfo &p : Profiles)
        if (p.Profile == Profile)
            return QString("Lyra Virtual ") + p.Chip;
    return "Lyra Virtual";
}

std::vector<TVirtualStation> ParseVirtualStations(const QByteArray &text, QStringList *errors)
{
    std::vector<TVirtualStation> stations;
    int lineNumber = 0;
    for (const QByteArray &raw : text.split('\n')) {
        ++lineNumber;
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QStringList f = line.split(QRegularExpression("\\s+"));
        bool okFreq = false, okTone = false, okModes = false;
        TVirtualStation s;
        if (f.size() >= 6) {
            s.FM = f[0].compare("FM", Qt::CaseInsensitive) == 0;
            s.Frequency = f[1].toInt(&okFreq);
            s.ToneHz = f[2].toInt(&okTone);
            s.AudioModes = ParseModes(f[3], &okModes);
            s.Pattern = f[4];
            s.Name = QStringList(f.mid(5)).join(' ');
        }
        const bool okBand = f.size() >= 6 && (s.FM || f[0].compare("TV", Qt::CaseInsensitive) == 0);
        if (!okBand || !okFreq || !okTone || !okModes || s.Frequency <= 0 || s.ToneHz <= 0 ||
            s.ToneHz > 20000) {
            if (errors)
                *errors << QString("line %1: \"%2\" is not a station").arg(lineNumber).arg(line);
            continue;
        }
        stations.push_back(s);
    }
    return stations;
}

TVirtualCard &TVirtualCard::Instance()
{
    static TVirtualCard card;
    return card;
}

TVirtualCard::TVirtualCard()
{
    Reset();
}

void TVirtualCard::Reset()
{
    Mode = TunerModeTV;
    TVFrequency = 55250000;
    FMFrequency = 100000000;
    Standard = Std_PAL_B;
    Input = InputTuner;
    AudioMode = TVAudio_Mono;
    Faults = TFaults();
    Stall = false;
    Interlaced = false;
    for (int p = 0; p < 5; ++p)
        ProcAmp[p] = ProcAmpRanges[p].Def;
    Changed();
}

bool TVirtualCard::LoadStations(const QString &path, QString *error)
{
    QString file = path;
    if (file.isEmpty()) {
        file = ProgramFolder::File("VirtualStations.txt");
        if (!QFile::exists(file))
            file = ProgramFolder::ShippedDataDir() + "/VirtualStations.txt";
    }
    QFile f(file);
    StationsLoaded = true;
    if (!f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = "Cannot read the virtual stations file " + file;
        qCWarning(lcGst) << "virtual card: cannot read" << file;
        Stations.clear();
        Changed();
        return false;
    }
    QStringList errors;
    Stations = ParseVirtualStations(f.readAll(), &errors);
    for (const QString &e : errors)
        qCWarning(lcGst) << file << e;
    if (error)
        *error = errors.join('\n');
    Changed();
    return errors.isEmpty();
}

const TVirtualStation *TVirtualCard::LockedStation() const
{
    if (!StationsLoaded)
        const_cast<TVirtualCard *>(this)->LoadStations();
    if (Input != InputTuner || Faults.NoLock)
        return nullptr;
    const bool fm = Mode == TunerModeFM;
    const int32_t window = fm ? FMLockWindow : LockWindow;
    const TVirtualStation *best = nullptr;
    for (const TVirtualStation &s : Stations) {
        if (s.FM != fm)
            continue;
        const int32_t d = std::abs(Frequency() - s.Frequency);
        if (d <= window && (!best || d < std::abs(Frequency() - best->Frequency)))
            best = &s;
    }
    return best;
}

TTunerStatus TVirtualCard::Status() const
{
    TTunerStatus status;
    status.CurrentFrequency = Frequency();
    const TVirtualStation *s = LockedStation();
    status.Stereo = s && (s->AudioModes & TVAudio_Stereo) ? 1 : 0;
    if (!s)
        return status;
    const int32_t d = Frequency() - s->Frequency;
    const int32_t centre = Mode == TunerModeFM ? FMCentreWindow : CentreWindow;
    const int32_t step = Mode == TunerModeFM ? 25000 : OffsetStep;
    if (std::abs(d) > centre) {
        const int32_t steps = std::min<int32_t>(4, (std::abs(d) - centre + step - 1) / step);
        status.PLLOffset = d > 0 ? steps : -steps;
    }
    status.SignalStrength = status.PLLOffset == 0 ? 100 : 100 - 20 * std::abs(status.PLLOffset);
    return status;
}

bool TVirtualCard::Locked() const
{
    if (Faults.NoLock)
        return false;
    return Input != InputTuner || LockedStation() != nullptr;
}

int32_t TVirtualCard::AvailableAudioModes() const
{
    const TVirtualStation *s = LockedStation();
    return s ? s->AudioModes : TVAudio_Mono;
}

int TVirtualCard::SetMode(int mode)
{
    if (mode != TunerModeTV && mode != TunerModeFM)
        return EINVAL;
    if (mode == TunerModeFM && Faults.RefuseFM)
        return EIO;
    Mode = mode;
    Changed();
    return 0;
}

int TVirtualCard::SetFrequency(int32_t hz)
{
    const bool fm = Mode == TunerModeFM;
    if (hz < (fm ? FMMin : TVMin) || hz > (fm ? FMMax : TVMax))
        return EINVAL;
    (fm ? FMFrequency : TVFrequency) = hz;
    Changed();
    return 0;
}

int TVirtualCard::SetStandard(int32_t standard)
{
    if (standard == 0 || (standard & Faults.RefusedStandards))
        return EINVAL;
    Standard = standard;
    Changed();
    return 0;
}

int TVirtualCard::SetInput(int input)
{
    if (input < InputTuner || input > InputCamera)
        return EINVAL;
    Input = input;
    Changed();
    return 0;
}

int TVirtualCard::SetAudioMode(int32_t mode)
{
    if (!(mode & AvailableAudioModes()))
        return EINVAL;
    AudioMode = mode;
    Changed();
    return 0;
}

bool TVirtualCard::ProcAmpRange(int property, int &min, int &max, int &step, int &def)
{
    if (property < 0 || property > 4)
        return false;
    const TRange &r = ProcAmpRanges[property];
    min = r.Min;
    max = r.Max;
    step = r.Step;
    def = r.Def;
    return true;
}

int TVirtualCard::SetProcAmp(int property, int value)
{
    int min, max, step, def;
    if (!ProcAmpRange(property, min, max, step, def))
        return ENOTTY;
    if (value < min || value > max)
        return ERANGE;
    ProcAmp[property] = value;
    Changed();
    return 0;
}

int TVirtualCard::Subscribe(std::function<void()> observer)
{
    Observers[NextObserver] = std::move(observer);
    return NextObserver++;
}

void TVirtualCard::Unsubscribe(int id)
{
    Observers.erase(id);
}

void TVirtualCard::Changed()
{
    // Copy: an observer may unsubscribe while being told.
    auto observers = Observers;
    for (auto &[id, observer] : observers)
        observer();
}

int TVirtualEmpiaControl::Open(int value)
{
    if (value < 0 || value > 0x7f)
        return EINVAL;
    Opened = true;
    return 0;
}

int TVirtualEmpiaControl::SelectInput(int input)
{
    if (!Opened)
        return EBADF;
    return TVirtualCard::Instance().SetInput(input);
}

int TVirtualEmpiaControl::SetAudioMode(int32_t modes)
{
    if (!Opened)
        return EBADF;
    return TVirtualCard::Instance().SetAudioMode(modes);
}

int TVirtualEmpiaControl::SetStandard(int standard)
{
    if (!Opened)
        return EBADF;
    static const int32_t bits[] = {Std_NTSC_M, Std_NTSC_M_J, Std_PAL_B};
    if (standard < 1 || standard > 3)
        return EINVAL;
    return TVirtualCard::Instance().SetStandard(bits[standard - 1]);
}
