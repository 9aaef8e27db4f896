// Controls, control events and priorities, as the V4L2 control framework
// (v4l2-ctrls-*.c) and the priority code of v4l2-ioctl.c answer them.
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "emu_driver.h"
#include "emu_formats.h"

namespace emu {

namespace {

// The V4L2 core's class and slider flags (v4l2_ctrl_fill).
bool Slider(uint32_t id)
{
    switch (id) {
    case V4L2_CID_AUDIO_VOLUME:
    case V4L2_CID_AUDIO_BALANCE:
    case V4L2_CID_BRIGHTNESS:
    case V4L2_CID_CONTRAST:
    case V4L2_CID_SATURATION:
    case V4L2_CID_HUE:
    case V4L2_CID_RED_BALANCE:
    case V4L2_CID_BLUE_BALANCE:
    case V4L2_CID_SHARPNESS:
    case V4L2_CID_CHROMA_GAIN:
        return true;
    default:
        return false;
    }
}

// ROUND_TO_RANGE of the control framework: clamp, then the nearest step.
int32_t RoundToRange(const TControl &c, int32_t value)
{
    if (c.Type == V4L2_CTRL_TYPE_BOOLEAN)
        return value != 0;
    int64_t v = value;
    if (c.Max >= 0 && v >= int64_t(c.Max) - c.Step / 2)
        v = c.Max;
    else
        v += c.Step / 2;
    v = std::clamp<int64_t>(v, c.Min, c.Max);
    const int64_t offset = int64_t(c.Step) * ((v - c.Min) / c.Step);
    return int32_t(c.Min + offset);
}

} // namespace

uint32_t TDriver::MaxPriority() const
{
    for (uint32_t p = V4L2_PRIORITY_RECORD; p > V4L2_PRIORITY_UNSET; --p)
        if (Shared->State.Priorities[p])
            return p;
    return V4L2_PRIORITY_UNSET;
}

int TDriver::SetPriority(TFile &f, uint32_t priority)
{
    if (priority < V4L2_PRIORITY_BACKGROUND || priority > V4L2_PRIORITY_RECORD)
        return EINVAL;
    // v4l2_prio_change: a second file cannot take the record priority.
    if (priority == V4L2_PRIORITY_RECORD && f.Priority != V4L2_PRIORITY_RECORD &&
        Shared->State.Priorities[V4L2_PRIORITY_RECORD])
        return EBUSY;
    --Shared->State.Priorities[f.Priority];
    ++Shared->State.Priorities[priority];
    f.Priority = priority;
    return 0;
}

const TControl *TDriver::Control(TFile &f, uint32_t id, int *index)
{
    for (size_t i = 0; i < M.Controls.size(); ++i)
        if (M.Controls[i].Id == id && (f.Node == TNode::Video || M.Controls[i].Radio)) {
            if (index)
                *index = int(i);
            return &M.Controls[i];
        }
    return nullptr;
}

int TDriver::QueryCtrl(TFile &f, v4l2_queryctrl &q)
{
    const bool next = q.id & V4L2_CTRL_FLAG_NEXT_CTRL;
    const uint32_t id = q.id & ~(V4L2_CTRL_FLAG_NEXT_CTRL | V4L2_CTRL_FLAG_NEXT_COMPOUND);
    // The control framework lists the class control first (all these
    // controls are in the user class).
    const TControl *found = nullptr;
    bool classControl = false;
    if (!next && id >= V4L2_CID_PRIVATE_BASE) {
        // The old private range counts the driver's own user controls.
        uint32_t n = id - V4L2_CID_PRIVATE_BASE;
        for (const TControl &c : M.Controls)
            if ((c.Id & 0xffff) >= 0x1000 && (f.Node == TNode::Video || c.Radio) && n-- == 0) {
                found = &c;
                break;
            }
    } else if (next) {
        if (id < V4L2_CID_USER_CLASS) {
            classControl = true;
        } else {
            for (const TControl &c : M.Controls)
                if (c.Id > id && (f.Node == TNode::Video || c.Radio) &&
                    (!found || c.Id < found->Id))
                    found = &c;
        }
    } else if (id == V4L2_CID_USER_CLASS) {
        classControl = true;
    } else {
        found = Control(f, id, nullptr);
    }
    const bool privateId = !next && id >= V4L2_CID_PRIVATE_BASE;
    memset(&q, 0, sizeof q);
    if (classControl) {
        q.id = V4L2_CID_USER_CLASS;
        q.type = V4L2_CTRL_TYPE_CTRL_CLASS;
        CopyText(q.name, sizeof q.name, "User Controls");
        q.flags = V4L2_CTRL_FLAG_READ_ONLY | V4L2_CTRL_FLAG_WRITE_ONLY;
        return 0;
    }
    if (!found)
        return EINVAL;
    // A control found through the private range keeps the asked id.
    q.id = privateId ? id : found->Id;
    q.type = found->Type;
    CopyText(q.name, sizeof q.name, found->Name);
    q.minimum = found->Min, q.maximum = found->Max;
    q.step = found->Step, q.default_value = found->Default;
    q.flags = Slider(found->Id) ? V4L2_CTRL_FLAG_SLIDER : 0;
    return 0;
}

int TDriver::GetCtrl(TFile &f, v4l2_control &c)
{
    int index = 0;
    if (c.id == V4L2_CID_USER_CLASS)
        return EACCES;
    if (!Control(f, c.id, &index))
        return EINVAL;
    c.value = Shared->State.Controls[index];
    return 0;
}

int TDriver::SetCtrl(TFile &f, v4l2_control &c)
{
    int index = 0;
    if (c.id == V4L2_CID_USER_CLASS)
        return EACCES;
    const TControl *ctl = Control(f, c.id, &index);
    if (!ctl)
        return EINVAL;
    c.value = RoundToRange(*ctl, c.value);
    if (Shared->State.Controls[index] != c.value)
        ControlEvent(&f, *ctl, c.value, V4L2_EVENT_CTRL_CH_VALUE);
    Shared->State.Controls[index] = c.value;
    Changed();
    return 0;
}

void TDriver::ControlEvent(TFile *from, const TControl &c, int32_t value, uint32_t changes)
{
    for (auto &file : Files) {
        auto sub = file->Subscribed.find(c.Id);
        if (sub == file->Subscribed.end() ||
            (file.get() == from && !(sub->second & V4L2_EVENT_SUB_FL_ALLOW_FEEDBACK)))
            continue;
        v4l2_event e{};
        e.type = V4L2_EVENT_CTRL;
        e.id = c.Id;
        e.u.ctrl.changes = changes;
        e.u.ctrl.type = c.Type;
        e.u.ctrl.value = value;
        e.u.ctrl.flags = Slider(c.Id) ? V4L2_CTRL_FLAG_SLIDER : 0;
        e.u.ctrl.minimum = c.Min, e.u.ctrl.maximum = c.Max;
        e.u.ctrl.step = c.Step, e.u.ctrl.default_value = c.Default;
        const int64_t now = NowNs();
        e.timestamp.tv_sec = now / 1000000000, e.timestamp.tv_nsec = now % 1000000000;
        // One event per control waits: a newer one takes its place and keeps
        // both changes.
        bool merged = false;
        for (v4l2_event &old : file->Events)
            if (old.id == c.Id) {
                e.u.ctrl.changes |= old.u.ctrl.changes;
                old = e;
                merged = true;
            }
        if (!merged) {
            e.sequence = file->EventSequence++;
            file->Events.push_back(e);
        }
        SyncEvent(*file);
    }
}

int TDriver::Subscribe(TFile &f, const v4l2_event_subscription &sub)
{
    // v4l2_ctrl_subscribe_event: control events only, for existing controls.
    if (sub.type != V4L2_EVENT_CTRL)
        return EINVAL;
    if (sub.id == V4L2_CID_USER_CLASS) {
        f.Subscribed[sub.id] = sub.flags; // never changes, so never tells
        return 0;
    }
    int index = 0;
    const TControl *c = Control(f, sub.id, &index);
    if (!c)
        return EINVAL;
    f.Subscribed[sub.id] = sub.flags;
    if (sub.flags & V4L2_EVENT_SUB_FL_SEND_INITIAL) {
        const uint32_t allow = f.Subscribed[sub.id];
        f.Subscribed[sub.id] |= V4L2_EVENT_SUB_FL_ALLOW_FEEDBACK;
        ControlEvent(&f, *c, Shared->State.Controls[index],
                     V4L2_EVENT_CTRL_CH_VALUE | V4L2_EVENT_CTRL_CH_FLAGS);
        f.Subscribed[sub.id] = allow;
    }
    return 0;
}

int TDriver::DQEvent(TFile &f, v4l2_event &e)
{
    if (f.Events.empty())
        return ENOENT;
    e = f.Events.front();
    f.Events.pop_front();
    e.pending = uint32_t(f.Events.size());
    SyncEvent(f);
    return 0;
}

int TDriver::ExtCtrls(TFile &f, v4l2_ext_controls &c, unsigned long request)
{
    if (c.count && !c.controls)
        return EFAULT;
    if (c.which != V4L2_CTRL_WHICH_CUR_VAL && c.which != V4L2_CTRL_CLASS_USER &&
        c.which != V4L2_CTRL_WHICH_DEF_VAL)
        return EINVAL;
    // Defaults can be read, not set.
    if (c.which == V4L2_CTRL_WHICH_DEF_VAL && request != VIDIOC_G_EXT_CTRLS)
        return EINVAL;
    // The control framework names the failing control only for TRY; G and
    // S point past the list.
    for (uint32_t i = 0; i < c.count; ++i) {
        const uint32_t error = request == VIDIOC_TRY_EXT_CTRLS ? i : c.count;
        // The class control can be neither read nor written.
        if (c.controls[i].id == V4L2_CID_USER_CLASS) {
            c.error_idx = error;
            return EACCES;
        }
        if (!Control(f, c.controls[i].id, nullptr)) {
            c.error_idx = error;
            return EINVAL;
        }
    }
    for (uint32_t i = 0; i < c.count; ++i) {
        v4l2_ext_control &x = c.controls[i];
        int index = 0;
        const TControl *ctl = Control(f, x.id, &index);
        if (request == VIDIOC_G_EXT_CTRLS) {
            x.value =
                c.which == V4L2_CTRL_WHICH_DEF_VAL ? ctl->Default : Shared->State.Controls[index];
        } else {
            x.value = RoundToRange(*ctl, x.value);
            if (request == VIDIOC_S_EXT_CTRLS) {
                if (Shared->State.Controls[index] != x.value)
                    ControlEvent(&f, *ctl, x.value, V4L2_EVENT_CTRL_CH_VALUE);
                Shared->State.Controls[index] = x.value;
            }
        }
    }
    if (request == VIDIOC_S_EXT_CTRLS)
        Changed();
    return 0;
}

} // namespace emu
