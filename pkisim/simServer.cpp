#include "simServer.h"

#include <atomic>
#include <mutex>
#include <optional>
#include <stdexcept>

#include "appRegistry.h"
#include "callLog.h"
#include "controlChannel.h"
#include "controlCommands.h"
#include "deviceGateway.h"
#include "deviceStore.h"
#include "eventLog.h"
#include "faultList.h"
#include "httpServer.h"
#include "replyBodies.h"
#include "rpcDispatcher.h"
#include "sessionService.h"
#include "sessionTable.h"
#include "stopSignal.h"

namespace pkisim {

namespace {

constexpr size_t maxSessions = 4096;
constexpr size_t eventCapacity = 10000;
constexpr std::chrono::seconds orphanGrace(600);
constexpr size_t recordBodyBytes = 64u << 20;
constexpr size_t bodyLimitCeiling = 1u << 30;

options checked(options opts)
{
    if (opts.maxBodyBytes == 0 || opts.maxBodyBytes > bodyLimitCeiling)
        throw std::invalid_argument("pkisim: maxBodyBytes must lie in 1 byte - 1 GiB");
    if (opts.sessionTimeout < 1 || opts.sessionTimeout > maxSessionTimeout)
        throw std::invalid_argument("pkisim: sessionTimeout must lie in 1 - 86400 seconds");
    if (opts.longPollMs < 0)
        throw std::invalid_argument("pkisim: longPollMs must not be negative");
    return opts;
}

httpLimits bodyLimited(size_t maxBodyBytes)
{
    httpLimits limits;
    limits.maxBodyBytes = maxBodyBytes;
    return limits;
}

appRegistry loadApps(const std::string& appsFile)
{
    appRegistry apps;
    if (!appsFile.empty())
        apps.loadFile(appsFile);
    return apps;
}

} // namespace

struct server::impl {
    impl(server& owner, options o)
        : owner(owner),
          opts(checked(std::move(o))),
          apps(loadApps(opts.appsFile)),
          devices(opts.keyDir),
          sessions(maxSessions),
          events(eventCapacity, orphanGrace),
          calls(opts.recordLimit, recordBodyBytes),
          vant(apps, sessions, events, settings),
          gateway(devices, sessions, events),
          dispatcher(vant, gateway, faults, calls, stopping, opts.verbose),
          http([this](const std::string& body, const peerInfo& peer) { return dispatcher.handle(body, peer); },
               bodyLimited(opts.maxBodyBytes), stopping),
          requestPort(opts.port)
    {
        settings.timeoutSeconds = opts.sessionTimeout;
        settings.longPollMs = opts.longPollMs;
        settings.notifyPort = opts.notifyPort;
    }

    void listen();
    void shutDown();
    void post(int32_t msgType, const deviceSpec& device, const std::string& what)
    {
        events.post(msgType, deviceEventBody(device, what));
    }

    server& owner;
    const options opts;
    appRegistry apps;
    deviceStore devices;
    sessionTable sessions;
    eventLog events;
    faultList faults;
    callLog calls;
    sessionSettings settings;
    sessionService vant;
    deviceGateway gateway;
    stopSignal stopping;
    rpcDispatcher dispatcher;
    httpServer http;
    std::unique_ptr<controlChannel> control;
    std::string controlName; // set by listen() under `lifecycle`
    std::mutex lifecycle;    // start() and stop()
    std::atomic<bool> isRunning{false};
    // The ports bound by the first start (the notification port is kept in
    // settings, which login reports); later starts bind them again, so that
    // clients find a restarted service where they left it.
    std::atomic<uint16_t> requestPort;
};

void server::impl::listen()
{
    stopping.reset();
    events.allowWaits();
    try {
        requestPort = http.listen(requestPort);
        settings.notifyPort = http.listen(settings.notifyPort);
        controlName = opts.defaultControl ? defaultControlPath(requestPort) : opts.controlPath;
        if (!controlName.empty())
            control = std::make_unique<controlChannel>(
                controlName, [this](const std::string& line) { return runControlCommand(owner, line); });
    } catch (...) {
        shutDown();
        throw;
    }
}

void server::impl::shutDown()
{
    stopping.raise();
    events.interruptWaits();
    control.reset();
    http.stop();
}

server::server(options opts) : d(std::make_unique<impl>(*this, std::move(opts))) {}

server::~server()
{
    stop();
}

void server::start()
{
    std::lock_guard<std::mutex> guard(d->lifecycle);
    if (d->isRunning)
        return;
    d->listen();
    d->isRunning = true;
}

void server::stop()
{
    std::lock_guard<std::mutex> guard(d->lifecycle);
    if (!d->isRunning)
        return;
    d->shutDown();
    d->isRunning = false;
}

bool server::running() const
{
    return d->isRunning;
}

uint16_t server::port() const
{
    return d->requestPort;
}

uint16_t server::notifyPort() const
{
    return d->settings.notifyPort;
}

std::string server::controlPath() const
{
    std::lock_guard<std::mutex> hold(d->lifecycle);
    return d->controlName;
}

std::vector<deviceSpec> server::devices() const
{
    return d->devices.list();
}

std::string server::insertDevice(const deviceSpec& spec)
{
    const std::string devId = d->devices.insert(spec);
    deviceSpec inserted = spec;
    inserted.devId = devId;
    d->post(wire::enMsgType::enMsg_NotifyerDevin, inserted, "inserted");
    return devId;
}

bool server::removeDevice(const std::string& devId)
{
    const std::optional<deviceSpec> device = d->devices.find(devId);
    if (!device || !d->devices.remove(devId))
        return false;
    d->post(wire::enMsgType::enMsg_NotifyerDevOut, *device, "removed");
    return true;
}

bool server::modifyDevice(const std::string& devId, const std::string& newLabel)
{
    if (!d->devices.modify(devId, newLabel))
        return false;
    if (const std::optional<deviceSpec> device = d->devices.find(devId))
        d->post(wire::enMsgType::enMsg_NotifyerDevModify, *device, "modified");
    return true;
}

std::string server::certificatePem(const std::string& devId) const
{
    return d->devices.certificatePem(devId);
}

std::string server::publicKeyPem(const std::string& devId) const
{
    return d->devices.publicKeyPem(devId);
}

std::vector<sessionInfo> server::sessions() const
{
    return d->sessions.list();
}

bool server::closeSession(int64_t sessionID)
{
    return d->vant.closeSession(sessionID);
}

bool server::expireSession(int64_t sessionID)
{
    return d->vant.expireSession(sessionID);
}

void server::pushEvent(int32_t msgType, const std::string& jsonBody)
{
    d->events.post(msgType, jsonBody);
}

void server::injectFault(const fault& f)
{
    d->faults.add(f);
}

void server::clearFaults()
{
    d->faults.clear();
}

std::vector<fault> server::pendingFaults() const
{
    return d->faults.pending();
}

std::vector<recordedCall> server::calls() const
{
    return d->calls.snapshot();
}

void server::clearCalls()
{
    d->calls.clear();
}

std::vector<recordedCall> server::takeCalls()
{
    return d->calls.take();
}

uint64_t server::callCount() const
{
    return d->calls.total();
}

size_t server::openConnections() const
{
    return d->http.openConnections();
}

bool server::waitForCalls(const std::function<bool(const std::vector<recordedCall>&)>& pred,
                          std::chrono::milliseconds timeout)
{
    return d->calls.waitFor(pred, timeout);
}

} // namespace pkisim
