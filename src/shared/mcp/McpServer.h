// A Model Context Protocol server over stdio: JSON-RPC 2.0, one message per line, tools only.
#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <functional>
#include <optional>
#include <variant>

namespace tavelin::shared::mcp {

// What an error shows of a text the client sent: its start, where it is too long to read back.
QString clippedText(const QString& text);

// What a tool call gives back: MCP's CallToolResult (content, structuredContent, isError).
using ToolResult = QJsonObject;

// A tool's failure the model should read: a result with isError, not a protocol error.
ToolResult toolError(const QString& message);

class Tools {
public:
    virtual ~Tools() = default;
    // The tools/list entries: name, description, inputSchema, outputSchema.
    virtual QJsonArray definitions() const = 0;
    // None when there is no tool of that name.
    virtual std::optional<ToolResult> call(const QString& name, const QJsonObject& arguments) = 0;
};

class McpServer {
public:
    explicit McpServer(Tools& tools)
        : m_tools(tools)
    {
    }

    // One received line; the line to send back, or none (notifications, blank lines).
    std::optional<QByteArray> handleLine(const QByteArray& line);
    // Reads requests from stdin until it closes, answering on stdout. The exit status.
    int serve();

    // The protocol revisions spoken, newest first.
    static const QStringList& protocolVersions();

private:
    struct RpcError {
        int code;
        QString message;
    };
    std::variant<QJsonObject, RpcError> respond(const QString& method, const QJsonObject& params);

    Tools& m_tools;
};

}
