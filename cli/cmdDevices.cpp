// tessera devices: the devices that the service sees.
#include <algorithm>
#include <string>
#include <vector>

#include "catalogue.h"
#include "commands.h"
#include "exitCodes.h"
#include "request.h"
#include "session.h"

namespace cli {
namespace {

using json = nlohmann::ordered_json;

std::string cellText(const json& dev, const std::string& column)
{
    return dev.contains(column) ? scalarText(dev[column]) : "-";
}

// One row per device; the columns are the members of the first device.
std::string deviceTable(const json& devices)
{
    std::vector<std::string> columns;
    for (const auto& member : devices.front().items())
        columns.push_back(member.key());
    std::vector<std::vector<std::string>> rows = {columns};
    for (const json& dev : devices) {
        std::vector<std::string> row;
        for (const std::string& column : columns)
            row.push_back(cellText(dev, column));
        rows.push_back(row);
    }
    std::vector<size_t> widths(columns.size(), 0);
    for (const auto& row : rows)
        for (size_t i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], row[i].size());
    std::string text;
    for (const auto& row : rows) {
        for (size_t i = 0; i + 1 < row.size(); ++i)
            text += row[i] + std::string(widths[i] - row[i].size() + 2, ' ');
        text += row.back() + "\n";
    }
    return text;
}

bool isDeviceList(const json& body)
{
    if (!body.contains("devices") || !body["devices"].is_array() || body["devices"].empty())
        return false;
    for (const json& dev : body["devices"])
        if (!dev.is_object() || dev.empty())
            return false;
    return true;
}

int runDevices(const invocation& call)
{
    session login(call.config.login);
    vpkiResp resp;
    sendRequest({DEVSERVICE, VPKI_DEV_getDevices, 1, 0, "{}"}, resp);
    const nlohmann::ordered_json answer = responseToJson(resp);
    if (resp.errCode != 0)
        throw serviceRefusal("getDevices", resp);
    if (!answer.contains("body"))
        throw failure(exitServiceFailed, "getDevices: the answer is not JSON: " + resp.body->getDataString());
    if (call.out.text() && isDeviceList(answer["body"]))
        call.out.raw(deviceTable(answer["body"]["devices"]));
    else
        call.out.document(answer["body"]);
    return exitOk;
}

} // namespace

command devicesCommand()
{
    return {"devices",
            "list the devices that the service sees",
            "Usage: tessera devices [OPTIONS]\n"
            "\n"
            "Lists the devices (USB keys, smart cards) that the PKI service sees, as the\n"
            "service's getDevices method reports them: the answer's JSON, or with\n"
            "--text a table with a row per device.\n"
            "\n"
            "Options: the options of every command (see 'tessera --help').\n",
            {},
            0,
            0,
            runDevices};
}

} // namespace cli
