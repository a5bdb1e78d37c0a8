// The MCP server's protocol side: the version handshake, what gets an answer, and JSON-RPC's errors.
#include "shared/mcp/McpServer.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

using namespace tavelin::shared::mcp;

namespace {

class EchoTools final : public Tools {
public:
    QJsonArray definitions() const override { return { QJsonObject { { "name", "echo" } } }; }
    std::optional<ToolResult> call(const QString& name, const QJsonObject& arguments) override
    {
        return name == "echo" ? std::optional(ToolResult { { "structuredContent", arguments } }) : std::nullopt;
    }
};

struct Session {
    EchoTools tools;
    McpServer server { tools };

    std::optional<QJsonObject> send(const char* line)
    {
        auto reply = server.handleLine(line);
        if (!reply)
            return std::nullopt;
        EXPECT_FALSE(reply->contains('\n')) << "one message per line";
        return QJsonDocument::fromJson(*reply).object();
    }
    int errorCode(const char* line) { return send(line).value().value("error").toObject().value("code").toInt(); }
};

}

TEST(McpServer, AnswersWithTheClientsRevisionWhenItSpeaksItElseItsNewest)
{
    Session s;
    auto known = s.send(R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"protocolVersion":"2024-11-05"}})");
    EXPECT_EQ(known->value("result").toObject().value("protocolVersion"), "2024-11-05");
    auto future = s.send(R"({"jsonrpc":"2.0","id":"a","method":"initialize","params":{"protocolVersion":"2099-01-01"}})");
    EXPECT_EQ(future->value("id"), "a");
    EXPECT_EQ(future->value("result").toObject().value("protocolVersion"), McpServer::protocolVersions().first());
    EXPECT_TRUE(future->value("result").toObject().value("capabilities").toObject().contains("tools"));
}

TEST(McpServer, NotificationsRepliesAndBlankLinesGetNoAnswer)
{
    Session s;
    EXPECT_FALSE(s.send(R"({"jsonrpc":"2.0","method":"notifications/initialized"})"));
    EXPECT_FALSE(s.send(R"({"jsonrpc":"2.0","id":7,"result":{}})"));
    EXPECT_FALSE(s.send("   "));
    EXPECT_TRUE(s.send(R"({"jsonrpc":"2.0","id":2,"method":"ping"})")->value("result").isObject());
}

TEST(McpServer, MalformedRequestsGetJsonRpcErrors)
{
    Session s;
    EXPECT_EQ(s.errorCode("{not json"), -32700);
    EXPECT_EQ(s.errorCode("[1,2]"), -32600);
    EXPECT_EQ(s.errorCode(R"("hello")"), -32600);
    EXPECT_EQ(s.errorCode("[1,"), -32700);
    EXPECT_EQ(s.errorCode(R"({"jsonrpc":"1.0","id":1,"method":"ping"})"), -32600);
    EXPECT_EQ(s.errorCode(R"({"jsonrpc":"2.0","id":{},"method":"ping"})"), -32600);
    EXPECT_EQ(s.errorCode(R"({"jsonrpc":"2.0","id":1,"method":"resources/list"})"), -32601);
    EXPECT_EQ(s.errorCode(R"({"jsonrpc":"2.0","id":1,"method":"tools/call","params":{"name":"echo","arguments":[1]}})"), -32602);
}
