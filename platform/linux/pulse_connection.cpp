#include "platform/linux/pulse_connection.h"

#include <cstring>

namespace orvane::platform::pulse {

pa_sample_spec sampleSpec() {
    pa_sample_spec spec{};
    spec.format = PA_SAMPLE_S16LE;
    spec.rate = 8000;
    spec.channels = 2;
    return spec;
}

Connection& Connection::instance() {
    // Lives until the process ends: devices may still be closing on other threads at exit.
    static Connection* connection = new Connection();
    return *connection;
}

Connection::Connection() {
    loop_ = pa_threaded_mainloop_new();
    pa_threaded_mainloop_start(loop_);
}

static bool isFinalState(pa_context_state_t s) {
    return s == PA_CONTEXT_FAILED || s == PA_CONTEXT_TERMINATED;
}

bool Connection::contextAlive() const {
    return context_ != nullptr && !isFinalState(pa_context_get_state(context_));
}

static void onContextState(pa_context*, void* self) {
    static_cast<Connection*>(self)->signal();
}

pa_context* Connection::readyContext() {
    if (context_ != nullptr && isFinalState(pa_context_get_state(context_))) {
        pa_context_unref(context_);
        context_ = nullptr;
    }
    if (context_ == nullptr) {
        context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "Orvane");
        if (context_ == nullptr) return nullptr;
        pa_context_set_state_callback(context_, onContextState, this);
        if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
            pa_context_unref(context_);
            context_ = nullptr;
            return nullptr;
        }
    }
    waitUntil([this] { return pa_context_get_state(context_) == PA_CONTEXT_READY; });
    return pa_context_get_state(context_) == PA_CONTEXT_READY ? context_ : nullptr;
}

static void onOperationState(pa_operation*, void* self) {
    static_cast<Connection*>(self)->signal();
}

bool Connection::finish(pa_operation* op) {
    if (op == nullptr) return false;
    // Operations started without a callback would otherwise never wake us.
    pa_operation_set_state_callback(op, onOperationState, this);
    while (pa_operation_get_state(op) == PA_OPERATION_RUNNING && contextAlive())
        pa_threaded_mainloop_wait(loop_);
    bool done = pa_operation_get_state(op) == PA_OPERATION_DONE;
    pa_operation_unref(op);
    return done;
}

namespace {

struct Query {
    std::vector<DeviceInfo>* list = nullptr;  // listing: every entry
    DeviceInfo* one = nullptr;                // by name: the one entry
    bool captureOnly = false;
    bool found = false;
    bool failed = false;
};

DeviceInfo describe(const char* name, const char* description, pa_proplist* props,
                    const pa_cvolume& volume) {
    DeviceInfo d;
    d.name = name ? name : "";
    d.description = description ? description : "";
    const char* icon = props ? pa_proplist_gets(props, PA_PROP_DEVICE_ICON_NAME) : nullptr;
    d.iconName = icon ? icon : "";
    d.channels = volume.channels;
    d.volume = pa_cvolume_avg(&volume);
    return d;
}

void keep(Query& q, DeviceInfo d) {
    q.found = true;
    if (q.list) q.list->push_back(std::move(d));
    if (q.one) *q.one = std::move(d);
}

void onSource(pa_context*, const pa_source_info* i, int eol, void* user) {
    auto& q = *static_cast<Query*>(user);
    if (eol < 0) q.failed = true;
    if (eol != 0) {
        Connection::instance().signal();
        return;
    }
    if (q.captureOnly && i->monitor_of_sink != PA_INVALID_INDEX) return;
    DeviceInfo d = describe(i->name, i->description, i->proplist, i->volume);
    d.monitor = i->monitor_of_sink != PA_INVALID_INDEX;
    keep(q, std::move(d));
}

void onSink(pa_context*, const pa_sink_info* i, int eol, void* user) {
    auto& q = *static_cast<Query*>(user);
    if (eol < 0) q.failed = true;
    if (eol != 0) {
        Connection::instance().signal();
        return;
    }
    keep(q, describe(i->name, i->description, i->proplist, i->volume));
}

struct ServerNames {
    std::string sink, source;
    bool ok = false;
};

void onServerInfo(pa_context*, const pa_server_info* i, void* user) {
    auto& n = *static_cast<ServerNames*>(user);
    if (i != nullptr) {
        n.sink = i->default_sink_name ? i->default_sink_name : "";
        n.source = i->default_source_name ? i->default_source_name : "";
        n.ok = true;
    }
    Connection::instance().signal();
}

}  // namespace

bool listCaptureSources(pa_context* c, std::vector<DeviceInfo>& out) {
    out.clear();
    Query q;
    q.list = &out;
    q.captureOnly = true;
    bool done = Connection::instance().finish(pa_context_get_source_info_list(c, onSource, &q));
    return done && !q.failed;
}

bool sourceByName(pa_context* c, const char* name, DeviceInfo& out) {
    Query q;
    q.one = &out;
    bool done = Connection::instance().finish(pa_context_get_source_info_by_name(c, name, onSource, &q));
    return done && q.found && !q.failed;
}

bool sinkByName(pa_context* c, const char* name, DeviceInfo& out) {
    Query q;
    q.one = &out;
    bool done = Connection::instance().finish(pa_context_get_sink_info_by_name(c, name, onSink, &q));
    return done && q.found && !q.failed;
}

bool defaultDeviceName(pa_context* c, bool capture, std::string& name) {
    ServerNames n;
    if (!Connection::instance().finish(pa_context_get_server_info(c, onServerInfo, &n)) || !n.ok)
        return false;
    name = capture ? n.source : n.sink;
    return !name.empty();
}

}  // namespace orvane::platform::pulse
