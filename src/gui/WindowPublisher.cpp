#include "gui/WindowPublisher.h"

#include <QWidget>

#include <utility>

#include "platform/WindowDirectory.h"

namespace zn::gui {

WindowPublisher::WindowPublisher(QWidget* window, std::string className) : QObject(window) {
    m_published = PublishedWindow::Publish(
        WindowDirectory(WindowDirectory::DefaultFolder()), std::move(className),
        window->windowTitle().toStdString(),
        [this](std::uint32_t number, std::vector<std::byte> data) {
            const QByteArray bytes(reinterpret_cast<const char*>(data.data()),
                                   static_cast<qsizetype>(data.size()));
            m_handOver.Run([&] { emit CopyDataReceived(number, bytes); });
        });
    if (m_published) {
        connect(window, &QWidget::windowTitleChanged, this,
                [this](const QString& title) { m_published->SetCaption(title.toStdString()); });
    }
}

// Waiting receivers are released before the window leaves the directory.
WindowPublisher::~WindowPublisher() {
    m_handOver.Cancel();
    m_published.reset();
}

}  // namespace zn::gui
