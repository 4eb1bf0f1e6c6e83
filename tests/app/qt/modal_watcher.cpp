#include "modal_watcher.h"

#include <QAbstractButton>
#include <QApplication>

namespace apptest {

ModalWatcher::ModalWatcher(Handler onOtherModal) : m_onOtherModal(std::move(onOtherModal)) {
    connect(&m_timer, &QTimer::timeout, this, &ModalWatcher::Poll);
    m_timer.start(20);
}

std::vector<QString> ModalWatcher::Texts() const {
    std::vector<QString> texts;
    for (const ShownBox& box : m_boxes) {
        texts.push_back(box.text);
    }
    return texts;
}

void ModalWatcher::Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || !modal->isVisible()) {
        return;
    }
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        m_boxes.push_back({box->windowTitle(), box->text(), box->icon(), box->standardButtons()});
        QAbstractButton* ok = box->button(QMessageBox::Ok);
        if (ok != nullptr) {
            ok->click();
        } else {
            box->reject();
        }
        return;
    }
    // A handler may run a modal loop of its own, in which this timer fires again; message boxes
    // are still answered there.
    if (m_onOtherModal && !m_bInHandler) {
        m_bInHandler = true;
        m_onOtherModal(modal);
        m_bInHandler = false;
    }
}

}  // namespace apptest
