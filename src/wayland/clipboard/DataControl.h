// The clipboard without keyboard focus: the selection set through the data-control protocol, which
// lets a client that has no window in focus offer it (wl_data_device would refuse us).
#pragma once

#include <QObject>

#include <memory>
#include <vector>

struct zwlr_data_control_device_v1;
struct zwlr_data_control_source_v1;

namespace tavelin::wayland::wl {
class WaylandConnection;
}

namespace tavelin::wayland::clipboard {

class DataControl final : public QObject {
    Q_OBJECT
public:
    // Usable only when the compositor offers data-control and a seat; see available().
    explicit DataControl(wl::WaylandConnection& connection);
    ~DataControl() override;

    bool available() const { return m_device != nullptr; }
    // Offers png as image/png until another client takes the selection.
    void setPng(std::vector<uint8_t> png);

    // Listener calls.
    void send(zwlr_data_control_source_v1* source, const char* mimeType, int fd);
    void cancelled(zwlr_data_control_source_v1* source);
    void finished();

private:
    wl::WaylandConnection& m_connection;
    zwlr_data_control_device_v1* m_device = nullptr;
    zwlr_data_control_source_v1* m_source = nullptr;
    std::shared_ptr<const std::vector<uint8_t>> m_png;
};

}
