// Offering the selection and writing it to readers: each reader gets its own non-blocking pipe
// writer on the event loop, so a slow reader never stalls the grid.
#include "wayland/clipboard/DataControl.h"

#include "wayland/wl/WaylandConnection.h"
#include "wayland/wl/wlr-data-control-unstable-v1-client.h"

#include <wayland-client.h>

#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace tavelin::wayland::clipboard {

namespace {

constexpr auto pngType = "image/png";

DataControl& self(void* data) { return *static_cast<DataControl*>(data); }

// Other clients' offers: we never read them, so each goes as it comes.
void onDataOffer(void*, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1*) { }
void onSelection(void*, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer)
{
    if (offer)
        zwlr_data_control_offer_v1_destroy(offer);
}
void onFinished(void* data, zwlr_data_control_device_v1*) { self(data).finished(); }
const zwlr_data_control_device_v1_listener deviceListener = { onDataOffer, onSelection, onFinished };

void onSend(void* data, zwlr_data_control_source_v1* source, const char* mimeType, int32_t fd)
{
    self(data).send(source, mimeType, fd);
}
void onCancelled(void* data, zwlr_data_control_source_v1* source) { self(data).cancelled(source); }
const zwlr_data_control_source_v1_listener sourceListener = { onSend, onCancelled };

// Writes the bytes to fd as the reader takes them, then closes it and deletes itself.
class PipeWriter final : public QObject {
public:
    PipeWriter(int fd, std::shared_ptr<const std::vector<uint8_t>> bytes, QObject* parent)
        : QObject(parent)
        , m_fd(fd)
        , m_bytes(std::move(bytes))
        , m_notifier(fd, QSocketNotifier::Write, this)
    {
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        connect(&m_notifier, &QSocketNotifier::activated, this, &PipeWriter::writeSome);
    }
    ~PipeWriter() override { close(m_fd); }

private:
    void writeSome()
    {
        while (m_written < m_bytes->size()) {
            auto n = write(m_fd, m_bytes->data() + m_written, m_bytes->size() - m_written);
            if (n < 0 && errno == EAGAIN)
                return;
            if (n <= 0)
                break; // the reader left
            m_written += size_t(n);
        }
        m_notifier.setEnabled(false);
        deleteLater();
    }

    int m_fd;
    std::shared_ptr<const std::vector<uint8_t>> m_bytes;
    size_t m_written = 0;
    QSocketNotifier m_notifier;
};

}

DataControl::DataControl(wl::WaylandConnection& connection)
    : m_connection(connection)
{
    if (!connection.dataControl() || !connection.seat())
        return;
    m_device = zwlr_data_control_manager_v1_get_data_device(connection.dataControl(), connection.seat());
    zwlr_data_control_device_v1_add_listener(m_device, &deviceListener, this);
    m_connection.flush();
}

DataControl::~DataControl()
{
    if (m_source)
        zwlr_data_control_source_v1_destroy(m_source);
    if (m_device)
        zwlr_data_control_device_v1_destroy(m_device);
    m_connection.flush();
}

void DataControl::setPng(std::vector<uint8_t> png)
{
    if (!m_device)
        return;
    m_png = std::make_shared<const std::vector<uint8_t>>(std::move(png));
    auto* source = zwlr_data_control_manager_v1_create_data_source(m_connection.dataControl());
    zwlr_data_control_source_v1_add_listener(source, &sourceListener, this);
    zwlr_data_control_source_v1_offer(source, pngType);
    zwlr_data_control_device_v1_set_selection(m_device, source);
    // The compositor cancels the old source once the new one holds the selection.
    m_source = source;
    m_connection.flush();
}

void DataControl::send(zwlr_data_control_source_v1*, const char* mimeType, int fd)
{
    if (!m_png || std::strcmp(mimeType, pngType) != 0) {
        close(fd);
        return;
    }
    new PipeWriter(fd, m_png, this); // deletes itself when done
}

void DataControl::cancelled(zwlr_data_control_source_v1* source)
{
    zwlr_data_control_source_v1_destroy(source);
    if (source == m_source)
        m_source = nullptr;
}

void DataControl::finished()
{
    // The device is no longer valid (its seat went): nothing more can be offered.
    zwlr_data_control_device_v1_destroy(m_device);
    m_device = nullptr;
}

}
