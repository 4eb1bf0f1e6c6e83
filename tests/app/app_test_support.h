// Shared pieces of the window tests: the port map, the binding, and a watcher that answers
// modal windows (message boxes and dialogs) while a handler waits in their modal loop.
#ifndef PELORIN_APP_TEST_SUPPORT_H
#define PELORIN_APP_TEST_SUPPORT_H

#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "port_library.h"

namespace apptest {

// Replaces every CORVANEL_COM<n> variable by an explicit map, port number to device path, so
// that only the listed ports exist (an empty map: none at all, whatever devices the machine has);
// restores the previous variables when it goes.
class PortMap {
public:
    explicit PortMap(const std::map<int, std::string>& ports);
    ~PortMap();
    PortMap(const PortMap&) = delete;
    PortMap& operator=(const PortMap&) = delete;

private:
    std::map<std::string, std::string> m_saved;
};

// The program's binding for the life of the object; messages of the binding are recorded
// instead of shown.
class BoundPortLibrary {
public:
    explicit BoundPortLibrary(std::string_view fileName = kPortLibraryFileName);
    ~BoundPortLibrary();
    BoundPortLibrary(const BoundPortLibrary&) = delete;
    BoundPortLibrary& operator=(const BoundPortLibrary&) = delete;

    std::vector<std::string> m_messages;
};

// A message box as the operator saw it.
struct ShownBox {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
};

// Polls for the active modal window while it lives. A message box is recorded and closed with
// its OK button; any other modal window goes to `onOtherModal`, which should close it.
class ModalWatcher : public QObject {
public:
    using Handler = std::function<void(QWidget* modal)>;

    explicit ModalWatcher(Handler onOtherModal = {});

    const std::vector<ShownBox>& Boxes() const { return m_boxes; }
    std::vector<QString> Texts() const;

private:
    void Poll();

    Handler m_onOtherModal;
    std::vector<ShownBox> m_boxes;
    QTimer m_timer;
    bool m_bInHandler = false;
};

}  // namespace apptest

#endif
