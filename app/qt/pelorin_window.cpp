#include "pelorin_window.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTimerEvent>
#include <algorithm>

#include "about_dlg.h"
#include "app_resources.h"
#include "edit_limits.h"
#include "message_box.h"
#include "ui_pelorin_dlg.h"

namespace {

constexpr char kAboutMenuText[] = "关于 Pelorin(&A)...";
constexpr char kMinimizeMenuText[] = "最小化(&N)";
constexpr char kCloseMenuText[] = "关闭(&C)\tAlt+F4";

constexpr char kGroupBoxStyle[] =
    "QGroupBox { border: 2px groove palette(mid); margin-top: 6px; }"
    "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left; left: 6px;"
    " padding: 0px 1px; }";

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString SettingsKey(std::string_view section, std::string_view entry) {
    return FromUtf8(section) + QLatin1Char('/') + FromUtf8(entry);
}

QSettings UserSettings() {
    return QSettings(QString::fromUtf8(kAppName), QString::fromUtf8(kAppName));
}

}  // namespace

CPelorinWindow::CPelorinWindow(QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::CPelorinDlg>()), m_dlg(*this), m_hIcon(AppIcon()) {
    m_ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    // Group boxes are frames drawn behind their fields, their caption set into the top line;
    // clicks go through them.
    for (QGroupBox* group : findChildren<QGroupBox*>()) {
        group->setAttribute(Qt::WA_TransparentForMouseEvents);
        group->setStyleSheet(QString::fromLatin1(kGroupBoxStyle));
    }
    // Some static texts are narrower in the template than their own captions ("National ID:" in
    // 29 units); they grow to the right instead of being cut off. Check boxes with the text on
    // the left keep their box in place and grow to the left.
    for (QLabel* label : findChildren<QLabel*>()) {
        const QSize needed = label->sizeHint();
        label->resize(std::max(label->width(), needed.width()),
                      std::max(label->height(), needed.height()));
    }
    for (QCheckBox* check : findChildren<QCheckBox*>()) {
        QRect area = check->geometry();
        area.setLeft(std::min(area.left(), area.right() + 1 - check->sizeHint().width()));
        check->setGeometry(area);
    }

    // Controls are named IDC_<template id>_<role> in the form.
    const QRegularExpression idName(QStringLiteral("^IDC_(\\d+)"));
    for (QWidget* widget : findChildren<QWidget*>()) {
        const QRegularExpressionMatch match = idName.match(widget->objectName());
        if (match.hasMatch()) {
            m_items.emplace(match.captured(1).toInt(), widget);
        }
    }

    for (const auto& [nID, handler] : kButtonHandlers) {
        connect(ItemAs<QAbstractButton>(nID), &QAbstractButton::clicked, this,
                [this, handler = handler] { (m_dlg.*handler)(); });
    }
    connect(ItemAs<QComboBox>(IDC_PORT), &QComboBox::activated, this,
            [this] { m_dlg.OnSelchangePort(); });
}

CPelorinWindow::~CPelorinWindow() = default;

void CPelorinWindow::setVisible(bool visible) {
    if (visible && !m_bInitialized) {
        m_bInitialized = true;
        OnInitDialog();
    }
    QDialog::setVisible(visible);
}

void CPelorinWindow::OnInitDialog() {
    const QString aboutText = QString::fromUtf8(kAboutMenuText);
    m_pSystemMenu = new QMenu(this);
    m_pSystemMenu->addAction(QString::fromUtf8(kMinimizeMenuText))->setData(kScMinimize);
    m_pSystemMenu->addAction(QString::fromUtf8(kCloseMenuText))->setData(kScClose);
    if (!aboutText.isEmpty()) {
        m_pSystemMenu->addSeparator();
        m_pSystemMenu->addAction(aboutText)->setData(IDM_ABOUTBOX);
    }
    setWindowIcon(m_hIcon);
    m_editFont = QFont(QString::fromUtf8(kEditFontFamily), kEditFontPoints);
    for (const int nID : kEditFontBoxes) {
        Item(nID)->setFont(m_editFont);
    }
    m_dlg.OnInitDialog();
}

void CPelorinWindow::accept() {
    if (!m_dlg.UpdateData(true)) {
        return;
    }
    QDialog::accept();
}

void CPelorinWindow::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const bool plain = event->modifiers() == Qt::NoModifier ||
                       (event->modifiers() == Qt::KeypadModifier && event->key() == Qt::Key_Enter);
    if (!enter || !plain) {
        QDialog::keyPressEvent(event);
        return;
    }
    // Enter presses the focused button; anywhere else it is OK.
    auto* button = qobject_cast<QPushButton*>(focusWidget());
    if (button != nullptr) {
        if (button->isEnabled()) {
            button->click();
        }
        return;
    }
    accept();
}

void CPelorinWindow::contextMenuEvent(QContextMenuEvent* event) {
    if (m_pSystemMenu == nullptr) {
        return;
    }
    const QAction* chosen = m_pSystemMenu->exec(event->globalPos());
    if (chosen != nullptr) {
        OnSysCommand(chosen->data().toUInt());
    }
}

void CPelorinWindow::OnSysCommand(unsigned nID) {
    if (m_dlg.OnSysCommand(nID)) {
        return;
    }
    switch (nID & 0xFFF0) {
        case kScMinimize:
            showMinimized();
            break;
        case kScClose:
            close();
            break;
        default:
            break;
    }
}

void CPelorinWindow::timerEvent(QTimerEvent* event) {
    for (const QBasicTimer& timer : m_timers) {
        if (timer.timerId() == event->timerId()) {
            m_dlg.OnTimer();
            return;
        }
    }
    QDialog::timerEvent(event);
}

QWidget* CPelorinWindow::Item(int nID) const {
    return m_items.at(nID);
}

template <typename Widget>
Widget* CPelorinWindow::ItemAs(int nID) const {
    auto* widget = qobject_cast<Widget*>(Item(nID));
    Q_ASSERT(widget != nullptr);
    return widget;
}

std::string CPelorinWindow::GetItemText(int nID) const {
    return Item(nID)->property("text").toString().toStdString();
}

void CPelorinWindow::SetItemText(int nID, std::string_view text) {
    Item(nID)->setProperty("text", FromUtf8(text));
}

void CPelorinWindow::LimitText(int nID, int nMaxBytes) {
    LimitGbkBytes(ItemAs<QLineEdit>(nID), nMaxBytes);
}

void CPelorinWindow::GotoDlgCtrl(int nID) {
    Item(nID)->setFocus();
    if (auto* edit = qobject_cast<QLineEdit*>(Item(nID))) {
        edit->selectAll();
    }
}

bool CPelorinWindow::IsButtonChecked(int nID) const {
    return ItemAs<QAbstractButton>(nID)->isChecked();
}

void CPelorinWindow::CheckButton(int nID, bool bChecked) {
    ItemAs<QAbstractButton>(nID)->setChecked(bChecked);
}

void CPelorinWindow::EnableItem(int nID, bool bEnable) {
    Item(nID)->setEnabled(bEnable);
}

void CPelorinWindow::AddListString(int nID, std::string_view text) {
    ItemAs<QComboBox>(nID)->addItem(FromUtf8(text));
}

int CPelorinWindow::GetListSel(int nID) const {
    return ItemAs<QComboBox>(nID)->currentIndex();
}

void CPelorinWindow::SetListSel(int nID, int nIndex) {
    ItemAs<QComboBox>(nID)->setCurrentIndex(nIndex);
}

void CPelorinWindow::SetTimer(int nIDEvent, int nElapseMs) {
    m_timers.at(static_cast<std::size_t>(nIDEvent - 1)).start(nElapseMs, this);
}

void CPelorinWindow::KillTimer(int nIDEvent) {
    m_timers.at(static_cast<std::size_t>(nIDEvent - 1)).stop();
}

bool CPelorinWindow::IsTimerActive(int nIDEvent) const {
    return m_timers.at(static_cast<std::size_t>(nIDEvent - 1)).isActive();
}

void CPelorinWindow::ShowMessage(std::string_view text) {
    ::ShowMessage(this, FromUtf8(text), QMessageBox::Warning);
}

bool CPelorinWindow::AskYesNo(std::string_view text) {
    return ::AskYesNo(this, FromUtf8(text));
}

void CPelorinWindow::AppendMenuItem(unsigned nID, std::string_view text) {
    if (nID == 0) {
        m_pSystemMenu->addSeparator();
        return;
    }
    m_pSystemMenu->addAction(FromUtf8(text))->setData(nID);
}

void CPelorinWindow::CheckMenuItem(unsigned nID, bool bChecked) {
    for (QAction* action : m_pSystemMenu->actions()) {
        if (!action->isSeparator() && action->data().toUInt() == nID) {
            action->setCheckable(true);
            action->setChecked(bChecked);
        }
    }
}

int CPelorinWindow::GetProfileInt(std::string_view section, std::string_view entry,
                                  int nDefault) const {
    bool bOk = false;
    const int nValue = UserSettings().value(SettingsKey(section, entry)).toInt(&bOk);
    return bOk ? nValue : nDefault;
}

bool CPelorinWindow::WriteProfileInt(std::string_view section, std::string_view entry, int nValue) {
    QSettings settings = UserSettings();
    settings.setValue(SettingsKey(section, entry), nValue);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

void CPelorinWindow::ShowAboutBox() {
    CAboutDlg dlgAbout(this);
    dlgAbout.exec();
}
