// v4l2-emu: runs a command with an emulated V4L2 capture card.
//
//   v4l2-emu --profile saa7134|cx88|bttv|em28xx [--radio] [--unplug-after SECONDS]
//            [--replug-after SECONDS] [--busy] [--stall-after SECONDS] [--refuse-standard NAME]...
//            -- COMMAND...
//
// COMMAND and its children find /dev/video0 (and /dev/radio0 with --radio)
// and the card's sysfs entries; a preload library answers their calls as the
// profile's driver does. This process keeps the card's shared state and
// draws its picture until COMMAND ends, and exits with COMMAND's status.
#include <QFile>
#include <QStringList>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <gst/gst.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "emu_formats.h"
#include "emu_model.h"
#include "emu_picture.h"
#include "emu_shared.h"
#include "emu_sysfs.h"
#include "platform/virtual_card.h"

using namespace emu;

namespace {

const char *Usage =
    "usage: v4l2-emu --profile saa7134|cx88|bttv|em28xx [--radio] [--unplug-after SECONDS]\n"
    "                [--replug-after SECONDS] [--busy] [--stall-after SECONDS] [--refuse-standard "
    "NAME]...\n"
    "                [--stations FILE] -- COMMAND [ARGUMENT]...\n"
    "\n"
    "  --radio              the card's radio node /dev/radio0 (profiles with a radio tuner)\n"
    "  --unplug-after S     the card goes away S seconds after the first STREAMON: every\n"
    "                       call on it fails with ENODEV, its nodes and sysfs entries vanish\n"
    "  --replug-after S     with --unplug-after: the card is back S seconds after it went\n"
    "                       away (files opened before stay gone)\n"
    "  --busy               opening /dev/video0 fails with EBUSY\n"
    "  --stall-after S      no frame completes from S seconds after the first STREAMON\n"
    "  --refuse-standard N  S_STD refuses the standard (a V4L2 name: NTSC, PAL-M, SECAM-L...)\n"
    "  --stations FILE      the stations the tuner receives (default: the virtual card's)\n";

struct TOptions
{
    std::string Profile, Stations;
    bool Radio = false, Busy = false;
    double UnplugAfter = -1, ReplugAfter = -1, StallAfter = -1;
    uint64_t RefusedStd = 0;
    std::vector<char *> Command;
};

bool ParseOptions(int argc, char **argv, TOptions &o, std::string &error)
{
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> const char * { return i + 1 < argc ? argv[++i] : nullptr; };
        auto seconds = [&](double &to) {
            const char *v = value();
            char *end = nullptr;
            to = v ? strtod(v, &end) : -1;
            if (!v || !end || *end || to < 0)
                error = a + " takes a number of seconds";
        };
        if (a == "--") {
            o.Command.assign(argv + i + 1, argv + argc);
            break;
        } else if (a == "--profile") {
            const char *v = value();
            o.Profile = v ? v : "";
        } else if (a == "--radio") {
            o.Radio = true;
        } else if (a == "--busy") {
            o.Busy = true;
        } else if (a == "--unplug-after") {
            seconds(o.UnplugAfter);
        } else if (a == "--replug-after") {
            seconds(o.ReplugAfter);
        } else if (a == "--stall-after") {
            seconds(o.StallAfter);
        } else if (a == "--refuse-standard") {
            const char *v = value();
            uint64_t id = 0;
            if (!v || !StdFromCoreName(v, id))
                error = std::string("unknown standard ") + (v ? v : "");
            o.RefusedStd |= id;
        } else if (a == "--stations") {
            const char *v = value();
            o.Stations = v ? v : "";
        } else {
            error = "unknown option " + a;
        }
        if (!error.empty())
            return false;
    }
    if (o.Profile.empty() || o.Command.empty()) {
        error = "a profile and a command are needed";
        return false;
    }
    o.Command.push_back(nullptr);
    return true;
}

std::string SelfDir()
{
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return ".";
    path[n] = 0;
    std::string p = path;
    return p.substr(0, p.rfind('/'));
}

bool Exists(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

// The largest picture any format takes on any standard: the frame slots'
// size.
uint64_t LargestFrame(const TModel &m)
{
    uint64_t largest = 0;
    for (uint32_t fourcc : m.Formats)
        for (const TStd &s : m.Stds)
            for (uint32_t field : {uint32_t(V4L2_FIELD_ANY), uint32_t(V4L2_FIELD_INTERLACED)}) {
                v4l2_pix_format pix{};
                pix.pixelformat = fourcc;
                pix.width = pix.height = 8192;
                pix.field = field;
                if (TryFormat(m, s.Id, pix) == 0)
                    largest = std::max<uint64_t>(largest, pix.sizeimage);
            }
    return (largest + 4095) & ~uint64_t(4095);
}

TShared *CreateShared(const TModel &m, const TOptions &o, int &fd, std::string &error)
{
    const uint64_t slot = LargestFrame(m);
    const uint64_t header = (sizeof(TShared) + 4095) & ~uint64_t(4095);
    const uint64_t size = header + 2 * slot;
    fd = int(syscall(SYS_memfd_create, "lyra-v4l2-emu", 0));
    if (fd < 0 || ftruncate(fd, off_t(size)) != 0) {
        error = std::string("cannot make the shared state: ") + strerror(errno);
        return nullptr;
    }
    void *map = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (map == MAP_FAILED) {
        error = std::string("cannot map the shared state: ") + strerror(errno);
        return nullptr;
    }
    auto *s = new (map) TShared();
    s->Magic = SharedMagic;
    s->Version = SharedVersion;
    s->Size = size;
    InitSharedMutex(&s->Mutex);
    InitSharedMutex(&s->FrameMutex);
    s->SlotBytes = slot;
    s->SlotOffset[0] = header;
    s->SlotOffset[1] = header + slot;

    // The driver at power-on: the first input, the default standard and
    // format, tuner-core's start frequencies (400 MHz, 87.5 MHz), the
    // controls' defaults.
    TDeviceState &st = s->State;
    st.Input = 0;
    st.Std = m.DefaultStd;
    st.TvFrequency = 400 * 16;
    st.RadioFrequency = 87500 * 16;
    st.TunerMode = V4L2_TUNER_ANALOG_TV;
    st.AudMode = 0xffffffffu;
    st.RadioAudMode = V4L2_TUNER_MODE_STEREO;
    for (size_t i = 0; i < m.Controls.size(); ++i)
        st.Controls[i] = m.Controls[i].Default;
    v4l2_pix_format pix{};
    pix.pixelformat = m.DefaultFourcc;
    pix.width = m.DefaultWidth;
    pix.height = m.DefaultHeight;
    pix.field = m.DefaultField;
    TryFormat(m, st.Std, pix);
    st.Format = {pix.pixelformat, pix.width,        pix.height,
                 pix.field,       pix.bytesperline, pix.sizeimage};
    st.Station = -1;

    s->Faults.BusyAtOpen = o.Busy;
    s->Faults.UnplugAfterNs = o.UnplugAfter < 0 ? -1 : int64_t(o.UnplugAfter * 1e9);
    s->Faults.ReplugAfterNs = o.ReplugAfter < 0 ? -1 : int64_t(o.ReplugAfter * 1e9);
    s->Faults.StallAfterNs = o.StallAfter < 0 ? -1 : int64_t(o.StallAfter * 1e9);
    s->Faults.RefusedStd = o.RefusedStd;
    return s;
}

bool LoadStations(const std::string &path, TShared *s, std::string &error)
{
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        error = "cannot read " + path;
        return false;
    }
    QStringList errors;
    const std::vector<TVirtualStation> stations = ParseVirtualStations(file.readAll(), &errors);
    for (const QString &e : errors)
        fprintf(stderr, "v4l2-emu: %s: %s\n", path.c_str(), e.toUtf8().constData());
    s->StationCount = 0;
    for (const TVirtualStation &v : stations) {
        if (s->StationCount == MaxStations)
            break;
        TStation &t = s->Stations[s->StationCount++];
        t.Fm = v.FM;
        t.FrequencyHz = v.Frequency;
        t.AudioModes = v.AudioModes;
        snprintf(t.Name, sizeof t.Name, "%s", v.Name.toUtf8().constData());
        snprintf(t.Pattern, sizeof t.Pattern, "%s", v.Pattern.toUtf8().constData());
    }
    return true;
}

struct TLoop
{
    GMainLoop *Loop = nullptr;
    int Status = 0;
};

void ChildEnded(GPid, gint status, gpointer data)
{
    auto *loop = static_cast<TLoop *>(data);
    loop->Status = status;
    g_main_loop_quit(loop->Loop);
}

gboolean FollowPicture(gpointer picture)
{
    static_cast<TPictureSource *>(picture)->Follow();
    return G_SOURCE_CONTINUE;
}

pid_t Child = -1;
void Forward(int signal)
{
    if (Child > 0)
        kill(Child, signal);
}

} // namespace

int main(int argc, char **argv)
{
    TOptions o;
    std::string error;
    if (!ParseOptions(argc, argv, o, error)) {
        fprintf(stderr, "v4l2-emu: %s\n\n%s", error.c_str(), Usage);
        return 2;
    }
    const std::string self = SelfDir();
    const std::string modelPath = self + "/v4l2-emu-models/" + o.Profile + ".model";
    TModel model;
    if (!Exists(modelPath)) {
        fprintf(stderr, "v4l2-emu: no profile %s (no %s)\n", o.Profile.c_str(), modelPath.c_str());
        return 2;
    }
    if (!LoadModel(modelPath, model, error)) {
        fprintf(stderr, "v4l2-emu: %s\n", error.c_str());
        return 2;
    }
    if (o.Radio && !model.HasRadio) {
        fprintf(stderr, "v4l2-emu: the %s card has no radio tuner\n", o.Profile.c_str());
        return 2;
    }
    const std::string preload = self + "/libv4l2-emu-preload.so";
    if (!Exists(preload)) {
        fprintf(stderr, "v4l2-emu: no %s\n", preload.c_str());
        return 2;
    }
    if (o.Stations.empty())
        o.Stations = std::string(LYRA_STAGED_DATA) + "/VirtualStations.txt";

    int sharedFd = -1;
    TShared *shared = CreateShared(model, o, sharedFd, error);
    if (!shared || !LoadStations(o.Stations, shared, error)) {
        fprintf(stderr, "v4l2-emu: %s\n", error.c_str());
        return 1;
    }
    const char *tmp = getenv("TMPDIR");
    std::string root = std::string(tmp && *tmp ? tmp : "/tmp") + "/lyra-v4l2-emu-XXXXXX";
    if (!mkdtemp(root.data())) {
        fprintf(stderr, "v4l2-emu: cannot make a folder for the sysfs view: %s\n", strerror(errno));
        return 1;
    }
    TSysfsView view;
    if (!BuildSysfsView(model, o.Radio, root, view, error)) {
        fprintf(stderr, "v4l2-emu: %s\n", error.c_str());
        RemoveTree(root);
        return 1;
    }

    std::string paths;
    for (const std::string &p : view.Redirected)
        paths += (paths.empty() ? "" : ":") + p;
    const char *oldPreload = getenv("LD_PRELOAD");
    const std::string ldPreload =
        preload + (oldPreload && *oldPreload ? std::string(":") + oldPreload : "");
    const std::string sharedPath =
        "/proc/" + std::to_string(getpid()) + "/fd/" + std::to_string(sharedFd);
    setenv("LD_PRELOAD", ldPreload.c_str(), 1);
    setenv(EnvShared, sharedPath.c_str(), 1);
    setenv(EnvModel, modelPath.c_str(), 1);
    setenv(EnvSysfs, root.c_str(), 1);
    setenv("LYRA_V4L2_EMU_SYSFS_PATHS", paths.c_str(), 1);
    setenv(EnvRadio, o.Radio ? "1" : "0", 1);

    Child = fork();
    if (Child < 0) {
        fprintf(stderr, "v4l2-emu: fork: %s\n", strerror(errno));
        RemoveTree(root);
        return 1;
    }
    if (Child == 0) {
        close(sharedFd);
        execvp(o.Command[0], o.Command.data());
        fprintf(stderr, "v4l2-emu: cannot run %s: %s\n", o.Command[0], strerror(errno));
        _exit(127);
    }
    // The picture is drawn here, with no preload library in this process.
    unsetenv("LD_PRELOAD");
    signal(SIGINT, Forward);
    signal(SIGTERM, Forward);
    signal(SIGHUP, Forward);
    gst_init(&argc, &argv);
    TLoop loop;
    {
        TPictureSource picture(shared, model);
        loop.Loop = g_main_loop_new(nullptr, FALSE);
        g_child_watch_add(Child, ChildEnded, &loop);
        g_timeout_add(10, FollowPicture, &picture);
        g_main_loop_run(loop.Loop);
        g_main_loop_unref(loop.Loop);
    }
    const int status = loop.Status;
    RemoveTree(root);
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) {
        fprintf(stderr, "v4l2-emu: %s ended by signal %d\n", o.Command[0], WTERMSIG(status));
        return 128 + WTERMSIG(status);
    }
    return 1;
}
