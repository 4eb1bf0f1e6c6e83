// Answers modal windows (message boxes and dialogs) while a handler waits in their modal loop.
#ifndef PELORIN_MODAL_WATCHER_H
#define PELORIN_MODAL_WATCHER_H

#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <vector>

namespace apptest {

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
