// What a command prints on standard output: one JSON document (pretty), a
// JSON line per event, or the same content as readable text.
#ifndef TESSERA_CLI_OUTPUT_H
#define TESSERA_CLI_OUTPUT_H

#include <cstdio>
#include <string>

#include <nlohmann/json.hpp>

#include "tessera.h"

namespace cli {

// Keeps standard output for the command's own output and sends what the
// library writes there (its diagnostic lines) to standard error, so that a
// script reading the output sees only the command's result. Returns the
// stream for the command's output; call once, before the library is used.
FILE* separateLibraryDiagnostics();

class output {
public:
    output(FILE* stream, bool text) : stream(stream), asText(text) {}

    bool text() const { return asText; }
    bool isTerminal() const;

    // One document: pretty JSON, or text lines.
    void document(const nlohmann::ordered_json& doc);
    // One event: a single JSON line, or text lines; flushed at once.
    void event(const nlohmann::ordered_json& doc);
    // Bytes exactly as given.
    void raw(const std::string& bytes);

private:
    void write(const std::string& text);

    FILE* stream;
    bool asText;
};

// The fields of a response record; the body (its whole text) as JSON under
// "body" when it parses, else as a string under "bodyText".
nlohmann::ordered_json responseToJson(const vpkiResp& resp);

// A JSON value as indented "key: value" lines.
std::string renderText(const nlohmann::ordered_json& doc);

// A string's own text, any other value as compact JSON.
std::string scalarText(const nlohmann::ordered_json& value);

// JSON text that never fails on bytes that are not UTF-8 (they are replaced).
std::string dumpJson(const nlohmann::ordered_json& doc, int indent);

} // namespace cli

#endif // TESSERA_CLI_OUTPUT_H
