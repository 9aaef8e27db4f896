/* An ALSA control plugin that serves a sound card's controls from a
 * recorded state file (the "alsactl store" format that alsa-info.sh prints
 * under "!!Alsactl output"). It stands where a card's kernel driver stands:
 * libasound's own simple mixer, hctl and event code run on top of it, so
 * the tests exercise the same path a real card takes.
 *
 *   ctl_type.lyra_recorded { lib "/path/to/this.so" open "_snd_ctl_lyra_recorded_open" }
 *   ctl.NAME {
 *       type lyra_recorded
 *       file "/path/to/card.state"   # the recorded controls
 *       state "Bt878"                # which state.ID block of the file
 *       name "Brooktree Bt878"       # the card's name
 *       exclusive [ "Video Capture Switch" "Line Capture Switch" ]
 *   }
 *
 * "exclusive" reproduces drivers that keep only one of several switches on
 * (saa7134-alsa's capture sources): turning one on turns the others off.
 * Values live per open handle; every write that changes one queues a value
 * event on the poll descriptor, as the kernel does for all subscribers. */
#define _GNU_SOURCE
#include <alsa/asoundlib.h>
#include <alsa/control_external.h>
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#define MAX_ELEMS 96
#define MAX_VALUES 8
#define MAX_ITEMS 16

typedef struct
{
    char name[44]; /* SNDRV_CTL_ELEM_ID_NAME_MAXLEN */
    unsigned index;
    int type;
    unsigned count;
    long min, max, step;
    unsigned items;
    char item[MAX_ITEMS][64];
    long value[MAX_VALUES];
    int exclusive;
} rec_elem_t;

typedef struct
{
    snd_ctl_ext_t ext;
    rec_elem_t elems[MAX_ELEMS];
    unsigned count;
    int pipe[2];
    unsigned pending[MAX_ELEMS * 4];
    unsigned npending;
} rec_ctl_t;

static int type_of(const char *s)
{
    if (!strcmp(s, "BOOLEAN"))
        return SND_CTL_ELEM_TYPE_BOOLEAN;
    if (!strcmp(s, "INTEGER"))
        return SND_CTL_ELEM_TYPE_INTEGER;
    if (!strcmp(s, "ENUMERATED"))
        return SND_CTL_ELEM_TYPE_ENUMERATED;
    return SND_CTL_ELEM_TYPE_NONE;
}

static const char *string_of(snd_config_t *node, const char *key)
{
    snd_config_t *n;
    const char *s = NULL;
    if (snd_config_search(node, key, &n) < 0)
        return NULL;
    if (snd_config_get_string(n, &s) < 0)
        return NULL;
    return s;
}

static long value_of(rec_elem_t *e, snd_config_t *n)
{
    const char *s = NULL;
    long v = 0;
    if (snd_config_get_integer(n, &v) == 0)
        return v;
    if (snd_config_get_string(n, &s) < 0)
        return 0;
    if (e->type == SND_CTL_ELEM_TYPE_BOOLEAN)
        return !strcmp(s, "true") || !strcmp(s, "on");
    for (unsigned i = 0; i < e->items; ++i)
        if (!strcmp(e->item[i], s))
            return i;
    return strtol(s, NULL, 10);
}

static int load_control(rec_elem_t *e, snd_config_t *control)
{
    snd_config_t *comment, *n;
    const char *s;
    long v;
    memset(e, 0, sizeof *e);
    s = string_of(control, "iface");
    if (!s || strcmp(s, "MIXER"))
        return -ENOENT;
    s = string_of(control, "name");
    if (!s)
        return -EINVAL;
    snprintf(e->name, sizeof e->name, "%s", s);
    if (snd_config_search(control, "index", &n) == 0 && snd_config_get_integer(n, &v) == 0)
        e->index = (unsigned)v;
    if (snd_config_search(control, "comment", &comment) < 0)
        return -EINVAL;
    s = string_of(comment, "type");
    e->type = s ? type_of(s) : SND_CTL_ELEM_TYPE_NONE;
    if (e->type == SND_CTL_ELEM_TYPE_NONE)
        return -ENOENT;
    e->count = 1;
    if (snd_config_search(comment, "count", &n) == 0 && snd_config_get_integer(n, &v) == 0)
        e->count = (unsigned)v;
    if (e->count > MAX_VALUES)
        return -EINVAL;
    e->max = 1;
    e->step = 0;
    s = string_of(comment, "range");
    if (s)
        sscanf(s, "%ld - %ld", &e->min, &e->max);
    if (e->type == SND_CTL_ELEM_TYPE_ENUMERATED) {
        snd_config_t *item;
        for (unsigned i = 0; i < MAX_ITEMS; ++i) {
            char key[16];
            snprintf(key, sizeof key, "item.%u", i);
            if (snd_config_search(comment, key, &item) < 0)
                break;
            if (snd_config_get_string(item, &s) < 0)
                break;
            snprintf(e->item[i], sizeof e->item[i], "%s", s);
            e->items = i + 1;
        }
    }
    if (snd_config_search(control, "value", &n) == 0) {
        if (snd_config_get_type(n) == SND_CONFIG_TYPE_COMPOUND) {
            snd_config_iterator_t i, next;
            unsigned k = 0;
            snd_config_for_each(i, next, n)
            {
                if (k < e->count)
                    e->value[k++] = value_of(e, snd_config_iterator_entry(i));
            }
        } else {
            for (unsigned k = 0; k < e->count; ++k)
                e->value[k] = value_of(e, n);
        }
    }
    return 0;
}

static rec_ctl_t *rec(snd_ctl_ext_t *ext)
{
    return ext->private_data;
}

static void queue_event(rec_ctl_t *r, unsigned key)
{
    char byte = 1;
    for (unsigned i = 0; i < r->npending; ++i)
        if (r->pending[i] == key)
            return;
    if (r->npending < sizeof r->pending / sizeof r->pending[0])
        r->pending[r->npending++] = key;
    if (write(r->pipe[1], &byte, 1) < 0) {
        /* a full pipe already wakes the reader */
    }
}

static void rec_close(snd_ctl_ext_t *ext)
{
    rec_ctl_t *r = rec(ext);
    close(r->pipe[0]);
    close(r->pipe[1]);
    free(r);
}

static int rec_elem_count(snd_ctl_ext_t *ext)
{
    return (int)rec(ext)->count;
}

static int rec_elem_list(snd_ctl_ext_t *ext, unsigned int offset, snd_ctl_elem_id_t *id)
{
    rec_elem_t *e = &rec(ext)->elems[offset];
    snd_ctl_elem_id_set_interface(id, SND_CTL_ELEM_IFACE_MIXER);
    snd_ctl_elem_id_set_name(id, e->name);
    snd_ctl_elem_id_set_index(id, e->index);
    return 0;
}

static snd_ctl_ext_key_t rec_find_elem(snd_ctl_ext_t *ext, const snd_ctl_elem_id_t *id)
{
    rec_ctl_t *r = rec(ext);
    const char *name = snd_ctl_elem_id_get_name(id);
    unsigned index = snd_ctl_elem_id_get_index(id);
    unsigned numid = snd_ctl_elem_id_get_numid(id);
    if (numid > 0)
        return numid <= r->count ? numid - 1 : SND_CTL_EXT_KEY_NOT_FOUND;
    for (unsigned i = 0; i < r->count; ++i)
        if (!strcmp(r->elems[i].name, name) && r->elems[i].index == index)
            return i;
    return SND_CTL_EXT_KEY_NOT_FOUND;
}

static int rec_get_attribute(snd_ctl_ext_t *ext, snd_ctl_ext_key_t key, int *type,
                             unsigned int *acc, unsigned int *count)
{
    rec_elem_t *e = &rec(ext)->elems[key];
    *type = e->type;
    *acc = SND_CTL_EXT_ACCESS_READWRITE;
    *count = e->count;
    return 0;
}

static int rec_get_integer_info(snd_ctl_ext_t *ext, snd_ctl_ext_key_t key, long *imin, long *imax,
                                long *istep)
{
    rec_elem_t *e = &rec(ext)->elems[key];
    *imin = e->min;
    *imax = e->max;
    *istep = e->step;
    return 0;
}

static int rec_get_enumerated_info(snd_ctl_ext_t *ext, snd_ctl_ext_key_t key, unsigned int *items)
{
    *items = rec(ext)->elems[key].items;
    return 0;
}

static int rec_get_enumerated_name(snd_ctl_ext_t *ext, snd_ctl_ext_key_t key, unsigned int item,
                                   char *name, size_t name_max_len)
{
    rec_elem_t *e = &rec(ext)->elems[key];
    if (item >= e->items)
        return -EINVAL;
    snprintf(name, name_max_len, "%s", e->item[item]);
    return 0;
}

static int rec_read_integer(snd_ctl_ext_t *ext, snd_ctl_ext_key_t key, long *value)
{
    rec_elem_t *e = &rec(ext)->elems[key];
    for (unsigned i = 0; i < e->count; ++i)
        value[i] = e->value[i];
    return 0;
}

static int rec_read_enumerated(snd_ctl_ext_t *ext, snd_ctl_ext_key_t key, unsigned int *items)
{
    rec_elem_t *e = &rec(ext)->elems[key];
    for (unsigned i = 0; i < e->count; ++i)
        items[i] = (unsigned)e->value[i];
    return 0;
}

static int store(rec_ctl_t *r, snd_ctl_ext_key_t key, const long *value)
{
    rec_elem_t *e = &r->elems[key];
    int changed = 0, on = 0;
    for (unsigned i = 0; i < e->count; ++i) {
        long v = value[i];
        if (e->type == SND_CTL_ELEM_TYPE_ENUMERATED && (v < 0 || (unsigned long)v >= e->items))
            return -EINVAL;
        if (e->type == SND_CTL_ELEM_TYPE_INTEGER && (v < e->min || v > e->max))
            return -EINVAL;
        if (e->type == SND_CTL_ELEM_TYPE_BOOLEAN)
            v = v != 0;
        if (e->value[i] != v) {
            e->value[i] = v;
            changed = 1;
        }
        on |= v != 0;
    }
    if (changed)
        queue_event(r, (unsigned)key);
    if (changed && on && e->exclusive) {
        for (unsigned k = 0; k < r->count; ++k) {
            rec_elem_t *o = &r->elems[k];
            int was = 0;
            if (k == key || !o->exclusive)
                continue;
            for (unsigned i = 0; i < o->count; ++i) {
                was |= o->value[i] != 0;
                o->value[i] = 0;
            }
            if (was)
                queue_event(r, k);
        }
    }
    return changed;
}

static int rec_write_integer(snd_ctl_ext_t *ext, snd_ctl_ext_key_t key, long *value)
{
    return store(rec(ext), key, value);
}

static int rec_write_enumerated(snd_ctl_ext_t *ext, snd_ctl_ext_key_t key, unsigned int *items)
{
    long value[MAX_VALUES];
    rec_elem_t *e = &rec(ext)->elems[key];
    for (unsigned i = 0; i < e->count; ++i)
        value[i] = items[i];
    return store(rec(ext), key, value);
}

static void rec_subscribe_events(snd_ctl_ext_t *ext, int subscribe)
{
    (void)ext, (void)subscribe;
}

static int rec_read_event(snd_ctl_ext_t *ext, snd_ctl_elem_id_t *id, unsigned int *event_mask)
{
    rec_ctl_t *r = rec(ext);
    char buf[64];
    if (r->npending == 0) {
        while (read(r->pipe[0], buf, sizeof buf) > 0) {
        }
        return -EAGAIN;
    }
    unsigned key = r->pending[0];
    memmove(r->pending, r->pending + 1, (r->npending - 1) * sizeof r->pending[0]);
    --r->npending;
    snd_ctl_elem_id_set_interface(id, SND_CTL_ELEM_IFACE_MIXER);
    snd_ctl_elem_id_set_name(id, r->elems[key].name);
    snd_ctl_elem_id_set_index(id, r->elems[key].index);
    *event_mask = SND_CTL_EVENT_MASK_VALUE;
    if (r->npending == 0)
        while (read(r->pipe[0], buf, sizeof buf) > 0) {
        }
    return 1;
}

static const snd_ctl_ext_callback_t rec_callback = {
    .close = rec_close,
    .elem_count = rec_elem_count,
    .elem_list = rec_elem_list,
    .find_elem = rec_find_elem,
    .get_attribute = rec_get_attribute,
    .get_integer_info = rec_get_integer_info,
    .get_enumerated_info = rec_get_enumerated_info,
    .get_enumerated_name = rec_get_enumerated_name,
    .read_integer = rec_read_integer,
    .read_enumerated = rec_read_enumerated,
    .write_integer = rec_write_integer,
    .write_enumerated = rec_write_enumerated,
    .subscribe_events = rec_subscribe_events,
    .read_event = rec_read_event,
};

static int load_state(rec_ctl_t *r, const char *file, const char *state)
{
    snd_config_t *top = NULL, *block;
    snd_input_t *in = NULL;
    snd_config_iterator_t i, next;
    char key[80];
    int err = snd_config_top(&top);
    if (err < 0)
        return err;
    err = snd_input_stdio_open(&in, file, "r");
    if (err == 0) {
        err = snd_config_load(top, in);
        snd_input_close(in);
    }
    snprintf(key, sizeof key, "state.%s.control", state);
    if (err == 0)
        err = snd_config_search(top, key, &block);
    if (err == 0) {
        snd_config_for_each(i, next, block)
        {
            if (r->count < MAX_ELEMS &&
                load_control(&r->elems[r->count], snd_config_iterator_entry(i)) == 0)
                ++r->count;
        }
    }
    snd_config_delete(top);
    return err;
}

SND_CTL_PLUGIN_DEFINE_FUNC(lyra_recorded)
{
    snd_config_iterator_t i, next;
    const char *file = NULL, *state = NULL, *cardname = "Recorded";
    snd_config_t *exclusive = NULL;
    rec_ctl_t *r;
    int err;
    (void)root;

    snd_config_for_each(i, next, conf)
    {
        snd_config_t *n = snd_config_iterator_entry(i);
        const char *id;
        if (snd_config_get_id(n, &id) < 0)
            continue;
        if (!strcmp(id, "comment") || !strcmp(id, "type") || !strcmp(id, "hint"))
            continue;
        if (!strcmp(id, "file"))
            snd_config_get_string(n, &file);
        else if (!strcmp(id, "state"))
            snd_config_get_string(n, &state);
        else if (!strcmp(id, "name"))
            snd_config_get_string(n, &cardname);
        else if (!strcmp(id, "exclusive"))
            exclusive = n;
        else
            return -EINVAL;
    }
    if (!file || !state)
        return -EINVAL;

    r = calloc(1, sizeof *r);
    if (!r)
        return -ENOMEM;
    if (pipe2(r->pipe, O_NONBLOCK | O_CLOEXEC) < 0) {
        free(r);
        return -errno;
    }
    err = load_state(r, file, state);
    if (err < 0) {
        close(r->pipe[0]);
        close(r->pipe[1]);
        free(r);
        return err;
    }
    if (exclusive) {
        snd_config_for_each(i, next, exclusive)
        {
            const char *s;
            if (snd_config_get_string(snd_config_iterator_entry(i), &s) < 0)
                continue;
            for (unsigned k = 0; k < r->count; ++k)
                if (!strcmp(r->elems[k].name, s))
                    r->elems[k].exclusive = 1;
        }
    }

    r->ext.version = SND_CTL_EXT_VERSION;
    r->ext.card_idx = 0;
    snprintf(r->ext.id, sizeof r->ext.id, "%s", state);
    snprintf(r->ext.driver, sizeof r->ext.driver, "recorded");
    snprintf(r->ext.name, sizeof r->ext.name, "%s", cardname);
    snprintf(r->ext.longname, sizeof r->ext.longname, "%s (recorded)", cardname);
    snprintf(r->ext.mixername, sizeof r->ext.mixername, "%s", cardname);
    r->ext.poll_fd = r->pipe[0];
    r->ext.callback = &rec_callback;
    r->ext.private_data = r;
    err = snd_ctl_ext_create(&r->ext, name, mode);
    if (err < 0) {
        close(r->pipe[0]);
        close(r->pipe[1]);
        free(r);
        return err;
    }
    *handlep = r->ext.handle;
    return 0;
}

SND_CTL_PLUGIN_SYMBOL(lyra_recorded);
