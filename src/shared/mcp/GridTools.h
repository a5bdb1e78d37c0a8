// The MCP tools over the session bus: screenshots with the grid, cells ↔ points, the grid's state.
#pragma once

#include "shared/dbus/Proxy.h"
#include "shared/mcp/McpServer.h"

#include <QVariantMap>

#include <optional>
#include <variant>

namespace tavelin::shared::mcp {

class GridTools final : public Tools {
public:
    explicit GridTools(dbus::Proxy proxy)
        : m_proxy(std::move(proxy))
    {
    }

    QJsonArray definitions() const override;
    std::optional<ToolResult> call(const QString& name, const QJsonObject& arguments) override;

private:
    // The reply's first argument, or the message to hand the model.
    using Reply = std::variant<QVariant, QString>;
    Reply call(const char* method, const QVariantList& arguments = {});
    // Starts Tavelin when none runs in this session; the message when that failed.
    std::optional<QString> ensureRunning();

    ToolResult screenshot(const QJsonObject& arguments);
    ToolResult cellToPoint(const QJsonObject& arguments);
    ToolResult pointToCell(const QJsonObject& arguments);
    ToolResult getGrid(const QJsonObject& arguments);
    ToolResult setGrid(const QJsonObject& arguments);
    ToolResult stateResult();

    dbus::Proxy m_proxy;
};

}
