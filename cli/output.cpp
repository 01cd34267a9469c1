#include "output.h"

#include <unistd.h>

#include <vector>

#include "exitCodes.h"

namespace cli {
namespace {

using json = nlohmann::ordered_json;

bool isContainer(const json& value)
{
    return (value.is_object() || value.is_array()) && !value.empty();
}

void renderLines(const json& value, const std::string& indent, std::vector<std::string>& lines);

// A member or an array item: "label value" on one line for a scalar, the
// label alone and the content indented below it for a container.
void renderEntry(const std::string& label, const json& value, const std::string& indent,
                 std::vector<std::string>& lines)
{
    if (!isContainer(value)) {
        lines.push_back(indent + label + " " + scalarText(value));
        return;
    }
    lines.push_back(indent + label);
    renderLines(value, indent + "  ", lines);
}

void renderLines(const json& value, const std::string& indent, std::vector<std::string>& lines)
{
    if (value.is_object()) {
        for (const auto& member : value.items())
            renderEntry(member.key() + ":", member.value(), indent, lines);
    } else if (value.is_array()) {
        for (const json& item : value)
            renderEntry("-", item, indent, lines);
    } else {
        lines.push_back(indent + scalarText(value));
    }
}

} // namespace

FILE* separateLibraryDiagnostics()
{
    std::fflush(stdout);
    const int ours = dup(STDOUT_FILENO);
    FILE* stream = ours < 0 ? nullptr : fdopen(ours, "w");
    if (stream == nullptr || dup2(STDERR_FILENO, STDOUT_FILENO) < 0)
        throw failure(exitFileError, "cannot set up standard output");
    // Line by line, so that the library's lines and ours keep their order.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    return stream;
}

std::string scalarText(const json& value)
{
    return value.is_string() ? value.get<std::string>() : dumpJson(value, -1);
}

std::string dumpJson(const json& doc, int indent)
{
    return doc.dump(indent, ' ', false, json::error_handler_t::replace);
}

bool output::isTerminal() const
{
    return isatty(fileno(stream)) == 1;
}

void output::document(const json& doc)
{
    write(asText ? renderText(doc) : dumpJson(doc, 2) + "\n");
}

void output::event(const json& doc)
{
    write(asText ? renderText(doc) + "\n" : dumpJson(doc, -1) + "\n");
}

void output::raw(const std::string& bytes)
{
    write(bytes);
}

void output::write(const std::string& text)
{
    if (std::fwrite(text.data(), 1, text.size(), stream) != text.size() || std::fflush(stream) != 0)
        throw failure(exitFileError, "cannot write to standard output");
}

json responseToJson(const vpkiResp& resp)
{
    json doc = {
        {"respid", resp.respid},   {"msgType", resp.msgType}, {"version", resp.version},
        {"errCode", resp.errCode}, {"extend", resp.extend},
    };
    const std::string body = resp.body->getDataString();
    json parsed = json::parse(body, nullptr, false);
    if (parsed.is_discarded())
        doc["bodyText"] = body;
    else
        doc["body"] = std::move(parsed);
    return doc;
}

std::string renderText(const json& doc)
{
    std::vector<std::string> lines;
    renderLines(doc, "", lines);
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

} // namespace cli
