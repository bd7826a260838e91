#pragma once

#include <QByteArray>
#include <QObject>

#include <memory>
#include <string>

#include "gui/UiHandOver.h"

class QWidget;

namespace zn {
class PublishedWindow;
}

namespace zn::gui {

// Publishes a top-level window in the window directory while the publisher lives, so that other
// programs find it by its class name and caption; the caption follows the window's title.
// Copy-data messages sent to it arrive as CopyDataReceived on the UI thread, and the sender is
// acknowledged once the signal's handlers have returned. UI thread.
class WindowPublisher : public QObject {
    Q_OBJECT

public:
    // Publishes in WindowDirectory::DefaultFolder().
    WindowPublisher(QWidget* window, std::string className);
    ~WindowPublisher() override;

    // False when the directory could not take the window (it is then not found by others).
    bool IsPublished() const { return m_published != nullptr; }

signals:
    void CopyDataReceived(quint32 number, const QByteArray& data);

private:
    UiHandOver m_handOver;
    std::unique_ptr<PublishedWindow> m_published;
};

}  // namespace zn::gui
