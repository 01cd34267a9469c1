// Test support: a notification callback that records what it receives.
#ifndef TESSERA_TEST_NOTIFY_LOG_H
#define TESSERA_TEST_NOTIFY_LOG_H

#include <mutex>
#include <string>
#include <vector>

#include "tessera.h"

struct notifyLog {
    struct event {
        int32_t respid;
        int32_t msgType;
        int32_t version;
        int32_t errCode;
        int64_t extend;
        std::string text;  // the fixed-size text field
        std::string body;  // the whole text
        void* param;
    };

    static void record(vpkiResp* resp, void* param)
    {
        auto* log = static_cast<notifyLog*>(param);
        std::lock_guard<std::mutex> hold(log->lock);
        log->events.push_back({resp->respid, resp->msgType, resp->version, resp->errCode, resp->extend,
                               resp->jsonBody, resp->body->getDataString(), param});
    }

    size_t size()
    {
        std::lock_guard<std::mutex> hold(lock);
        return events.size();
    }

    std::vector<event> snapshot()
    {
        std::lock_guard<std::mutex> hold(lock);
        return events;
    }

    std::vector<int32_t> types()
    {
        std::vector<int32_t> out;
        for (const event& e : snapshot())
            out.push_back(e.msgType);
        return out;
    }

    std::mutex lock;
    std::vector<event> events;
};

#endif // TESSERA_TEST_NOTIFY_LOG_H
