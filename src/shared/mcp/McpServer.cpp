// The protocol side of the MCP server: framing, the handshake, listing and calling tools.
#include "shared/mcp/McpServer.h"

#include "core/CommandSet.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cstdio>
#include <iostream>
#include <string>

namespace tavelin::shared::mcp {

QString clippedText(const QString& text) { return QString::fromStdString(core::clipped(text.toStdString())); }

namespace {

// JSON-RPC 2.0's own error codes.
constexpr int parseError = -32700;
constexpr int invalidRequest = -32600;
constexpr int methodNotFound = -32601;
constexpr int invalidParams = -32602;

QByteArray encode(const QJsonObject& message) { return QJsonDocument(message).toJson(QJsonDocument::Compact); }

QByteArray errorReply(const QJsonValue& id, int code, const QString& message)
{
    return encode({ { "jsonrpc", "2.0" }, { "id", id }, { "error", QJsonObject { { "code", code }, { "message", message } } } });
}

}

ToolResult toolError(const QString& message)
{
    return { { "content", QJsonArray { QJsonObject { { "type", "text" }, { "text", message } } } }, { "isError", true } };
}

const QStringList& McpServer::protocolVersions()
{
    static const QStringList versions { "2025-11-25", "2025-06-18", "2025-03-26", "2024-11-05" };
    return versions;
}

std::optional<QByteArray> McpServer::handleLine(const QByteArray& line)
{
    if (line.trimmed().isEmpty())
        return std::nullopt;
    QJsonParseError parse {};
    auto document = QJsonDocument::fromJson(line, &parse);
    // Qt reads only objects and arrays at the top: a lone string or number is JSON all the same.
    if (parse.error != QJsonParseError::NoError && QJsonDocument::fromJson("[" + line + "]").array().size() == 1)
        return errorReply(QJsonValue::Null, invalidRequest, "a message is one JSON object");
    if (parse.error != QJsonParseError::NoError)
        return errorReply(QJsonValue::Null, parseError, "not JSON: " + parse.errorString());
    if (!document.isObject())
        return errorReply(QJsonValue::Null, invalidRequest, "a message is one JSON object (batches are not part of MCP)");
    auto message = document.object();
    auto id = message.value("id");
    bool isRequest = message.contains("id");
    if (message.value("jsonrpc") != "2.0" || !message.value("method").isString()) {
        // Replies to requests we never send, and malformed notifications, get no answer.
        if (!isRequest || message.contains("result") || message.contains("error"))
            return std::nullopt;
        return errorReply(id, invalidRequest, "not a JSON-RPC 2.0 request");
    }
    if (!isRequest)
        return std::nullopt; // notifications/initialized, notifications/cancelled, …
    if (!id.isString() && !id.isDouble())
        return errorReply(QJsonValue::Null, invalidRequest, "a request's id is a string or a number");
    auto params = message.value("params");
    if (!params.isUndefined() && !params.isObject())
        return errorReply(id, invalidParams, "params is an object");
    auto answer = respond(message.value("method").toString(), params.toObject());
    if (auto* error = std::get_if<RpcError>(&answer))
        return errorReply(id, error->code, error->message);
    return encode({ { "jsonrpc", "2.0" }, { "id", id }, { "result", std::get<QJsonObject>(answer) } });
}

std::variant<QJsonObject, McpServer::RpcError> McpServer::respond(const QString& method, const QJsonObject& params)
{
    if (method == "initialize") {
        // The client's revision when we speak it, else our newest: the client then decides.
        auto asked = params.value("protocolVersion").toString();
        auto version = protocolVersions().contains(asked) ? asked : protocolVersions().first();
        return QJsonObject {
            { "protocolVersion", version },
            { "capabilities", QJsonObject { { "tools", QJsonObject { { "listChanged", false } } } } },
            { "serverInfo", QJsonObject { { "name", "tavelin" }, { "title", "Tavelin" }, { "version", TAVELIN_VERSION } } },
            { "instructions",
                "Tavelin lays a spreadsheet-style grid over the screen. Take a screenshot with the grid, name the "
                "cell you mean (columns are letters, rows numbers: C4), and turn the name into a point to click "
                "with cell_to_point." },
        };
    }
    if (method == "ping")
        return QJsonObject {};
    if (method == "tools/list")
        return QJsonObject { { "tools", m_tools.definitions() } };
    if (method == "tools/call") {
        auto name = params.value("name");
        if (!name.isString())
            return RpcError { invalidParams, "tools/call needs the tool's name" };
        auto arguments = params.value("arguments");
        if (!arguments.isUndefined() && !arguments.isNull() && !arguments.isObject())
            return RpcError { invalidParams, "a tool's arguments are an object" };
        auto result = m_tools.call(name.toString(), arguments.toObject());
        if (!result)
            return RpcError { invalidParams, "there is no tool " + clippedText(name.toString()) };
        return *result;
    }
    return RpcError { methodNotFound, "method not found: " + clippedText(method) };
}

int McpServer::serve()
{
    std::string line;
    while (std::getline(std::cin, line)) {
        auto reply = handleLine(QByteArray::fromStdString(line));
        if (!reply)
            continue;
        reply->append('\n');
        if (std::fwrite(reply->constData(), 1, size_t(reply->size()), stdout) != size_t(reply->size())
            || std::fflush(stdout) != 0)
            return 1; // the client is gone
    }
    return 0;
}

}
