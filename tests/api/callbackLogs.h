// What the library's callbacks handed to the application: notifications and
// the lines of the debug hook.
#ifndef TESSERA_TESTS_CALLBACK_LOGS_H
#define TESSERA_TESTS_CALLBACK_LOGS_H

#include <mutex>
#include <string>
#include <vector>

#include "tessera.h"

struct notifyLog {
    struct event {
        int32_t msgType;
        int32_t errCode;
        int64_t extend;
        std::string text; // the fixed-size text field
        std::string body; // the whole text
        void* param;
    };

    static void record(vpkiResp* resp, void* param)
    {
        auto* log = static_cast<notifyLog*>(param);
        std::lock_guard<std::mutex> hold(log->lock);
        log->events.push_back(
            {resp->msgType, resp->errCode, resp->extend, resp->jsonBody, resp->body->getDataString(), param});
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

    std::mutex lock;
    std::vector<event> events;
};

struct logLines {
    static void record(const char* line, void* param)
    {
        auto* self = static_cast<logLines*>(param);
        std::lock_guard<std::mutex> hold(self->lock);
        self->lines.emplace_back(line);
    }

    bool has(const std::string& part)
    {
        std::lock_guard<std::mutex> hold(lock);
        for (const std::string& line : lines)
            if (line.find(part) != std::string::npos)
                return true;
        return false;
    }

    std::mutex lock;
    std::vector<std::string> lines;
};

#endif // TESSERA_TESTS_CALLBACK_LOGS_H
