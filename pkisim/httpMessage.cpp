#include "httpMessage.h"

#include <algorithm>
#include <cctype>

namespace pkisim {

namespace {

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool isTokenChar(unsigned char c) {
    return std::isalnum(c) || std::string("!#$%&'*+-.^_`|~").find(static_cast<char>(c)) != std::string::npos;
}

bool isToken(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) { return isTokenChar(c); });
}

std::string trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Splits on LF and drops the CR of CRLF line ends.
std::vector<std::string> headLines(const std::string& head) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= head.size()) {
        size_t end = head.find('\n', start);
        if (end == std::string::npos)
            end = head.size();
        std::string line = head.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    while (!lines.empty() && lines.back().empty())
        lines.pop_back();
    return lines;
}

int parseRequestLine(const std::string& line, httpRequest& out) {
    const size_t first = line.find(' ');
    const size_t second = first == std::string::npos ? first : line.find(' ', first + 1);
    if (second == std::string::npos || line.find(' ', second + 1) != std::string::npos)
        return 400;
    out.method = line.substr(0, first);
    out.target = line.substr(first + 1, second - first - 1);
    const std::string version = line.substr(second + 1);
    if (!isToken(out.method) || out.target.empty())
        return 400;
    const auto digit = [&](size_t at) { return std::isdigit(static_cast<unsigned char>(version[at])) != 0; };
    if (version.size() != 8 || version.compare(0, 5, "HTTP/") != 0 || !digit(5) || version[6] != '.' || !digit(7))
        return 400;
    if (version[5] != '1')
        return 505;
    out.minorVersion = version[7] - '0';
    return out.method == "POST" ? 0 : 405;
}

int parseHeaderLine(const std::string& line, httpRequest& out) {
    const size_t colon = line.find(':');
    if (colon == std::string::npos)
        return 400;
    const std::string name = line.substr(0, colon);
    if (!isToken(name))  // also refuses folded continuation lines
        return 400;
    const std::string value = trimmed(line.substr(colon + 1));
    if (value.find_first_of("\r\n") != std::string::npos)
        return 400;
    out.headers.emplace_back(lowerCase(name), value);
    return 0;
}

bool hasConnectionToken(const httpRequest& request, const std::string& token) {
    const std::string* value = request.header("connection");
    if (!value)
        return false;
    const std::string lower = lowerCase(*value);
    size_t start = 0;
    while (start <= lower.size()) {
        size_t end = lower.find(',', start);
        if (end == std::string::npos)
            end = lower.size();
        if (trimmed(lower.substr(start, end - start)) == token)
            return true;
        start = end + 1;
    }
    return false;
}

bool parseLength(const std::string& text, size_t& length) {
    if (text.empty() || text.size() > 18 ||
        !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); }))
        return false;
    length = static_cast<size_t>(std::stoull(text));
    return true;
}

const char* reasonPhrase(int status) {
    switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 408: return "Request Timeout";
    case 411: return "Length Required";
    case 413: return "Payload Too Large";
    case 431: return "Request Header Fields Too Large";
    case 500: return "Internal Server Error";
    case 501: return "Not Implemented";
    case 502: return "Bad Gateway";
    case 503: return "Service Unavailable";
    case 504: return "Gateway Timeout";
    case 505: return "HTTP Version Not Supported";
    default: return "Status";
    }
}

} // namespace

const std::string* httpRequest::header(const std::string& name) const {
    for (const auto& entry : headers)
        if (entry.first == name)
            return &entry.second;
    return nullptr;
}

size_t findHeadEnd(const std::string& buffer) {
    const size_t crlf = buffer.find("\n\r\n");
    const size_t lf = buffer.find("\n\n");
    if (crlf == std::string::npos && lf == std::string::npos)
        return std::string::npos;
    if (lf == std::string::npos || (crlf != std::string::npos && crlf < lf))
        return crlf + 3;
    return lf + 2;
}

int parseRequestHead(const std::string& head, httpRequest& out) {
    const std::vector<std::string> lines = headLines(head);
    if (lines.empty())
        return 400;
    if (int status = parseRequestLine(lines.front(), out))
        return status;
    for (size_t i = 1; i < lines.size(); ++i)
        if (int status = parseHeaderLine(lines[i], out))
            return status;
    return 0;
}

int requestBodyLength(const httpRequest& request, size_t& length) {
    if (request.header("transfer-encoding"))
        return 411;  // chunked bodies are not taken; every client here sends a length
    bool found = false;
    for (const auto& entry : request.headers) {
        if (entry.first != "content-length")
            continue;
        size_t value = 0;
        if (!parseLength(entry.second, value) || (found && value != length))
            return 400;
        length = value;
        found = true;
    }
    return found ? 0 : 411;
}

bool keepAliveWanted(const httpRequest& request) {
    if (request.minorVersion == 0)
        return hasConnectionToken(request, "keep-alive");
    return !hasConnectionToken(request, "close");
}

bool expectsContinue(const httpRequest& request) {
    const std::string* value = request.header("expect");
    return value && lowerCase(*value) == "100-continue";
}

httpReply errorReply(int status, const std::string& why) {
    httpReply reply;
    reply.status = status;
    reply.body = why + "\n";
    reply.contentType = "text/plain";
    reply.closeAfter = true;
    return reply;
}

std::string formatReplyHead(const httpReply& reply, bool keepAlive) {
    std::string head = "HTTP/1.1 " + std::to_string(reply.status) + " " + reasonPhrase(reply.status) + "\r\n";
    if (!reply.body.empty())
        head += "Content-Type: " + reply.contentType + "\r\n";
    if (reply.status == 405)
        head += "Allow: POST\r\n";
    head += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
    head += keepAlive ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n";
    return head;
}

} // namespace pkisim
