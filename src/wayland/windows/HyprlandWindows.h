// The window source on Hyprland: its request socket for j/clients and j/monitors, its event socket
// for the reports.
#pragma once

#include "wayland/windows/WindowSource.h"

#include <QLocalSocket>
#include <QString>

#include <memory>

namespace tavelin::wayland::windows {

class HyprlandWindows final : public WindowSource {
public:
    // folder: the instance's socket folder (…/hypr/$HYPRLAND_INSTANCE_SIGNATURE).
    explicit HyprlandWindows(QString folder);
    std::vector<Window> windows() override;
    void watch(std::function<void()> changed) override;

private:
    std::optional<QByteArray> request(const QByteArray& command);

    QString m_folder;
    int m_border = -1; // asked once
    std::unique_ptr<QLocalSocket> m_events;
};

}
