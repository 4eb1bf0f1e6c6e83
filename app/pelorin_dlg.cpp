#include "pelorin_dlg.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTimerEvent>
#include <algorithm>

#include "about_dlg.h"
#include "app_resources.h"
#include "data_exchange.h"
#include "port_library.h"
#include "ui_pelorin_dlg.h"

namespace {

constexpr std::uint32_t kBaudRate = 19200;
constexpr std::uint16_t kReaderAddress = 0;
constexpr int kFirstSearchedPort = 1;
constexpr int kLastSearchedPort = 8;
constexpr int kLastListedPort = 9;

constexpr char kAboutMenuText[] = "关于 Pelorin(&A)...";
constexpr char kMinimizeMenuText[] = "最小化(&N)";
constexpr char kCloseMenuText[] = "关闭(&C)\tAlt+F4";

constexpr char kGroupBoxStyle[] =
    "QGroupBox { border: 2px groove palette(mid); margin-top: 6px; }"
    "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left; left: 6px;"
    " padding: 0px 1px; }";

// Without a binding object every port stays closed, as if no reader were attached.
std::int32_t ClosePort() {
    const CPortLibrary* library = g_portLibrary.m_pLibrary;
    return library != nullptr ? library->CloseComPort() : 1;
}

std::int32_t OpenPort(int port) {
    const CPortLibrary* library = g_portLibrary.m_pLibrary;
    return library != nullptr ? library->OpenComPort(port, kBaudRate) : 0;
}

}  // namespace

CPelorinDlg::CPelorinDlg(QWidget* parent)
    : QDialog(parent), m_hIcon(AppIcon()), m_ui(std::make_unique<Ui::CPelorinDlg>()) {
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

    const auto onClick = [this](QPushButton* button, void (CPelorinDlg::*handler)()) {
        connect(button, &QPushButton::clicked, this, handler);
    };
    onClick(m_ui->IDC_1101_Read, &CPelorinDlg::OnRead);
    onClick(m_ui->IDC_1102_Write, &CPelorinDlg::OnWrite);
    onClick(m_ui->IDC_1140_Search, &CPelorinDlg::OnSearch);
    onClick(m_ui->IDC_1141_Open, &CPelorinDlg::OnOpenPort);
    onClick(m_ui->IDC_1142_Close, &CPelorinDlg::OnClosePort);
    onClick(m_ui->IDC_1107_FdxRead, &CPelorinDlg::OnFdxRead);
    onClick(m_ui->IDC_1108_FdxWrite, &CPelorinDlg::OnFdxWrite);
    onClick(m_ui->IDC_1146_ContWrite, &CPelorinDlg::OnContWrite);
    onClick(m_ui->IDC_1147_StopWrite, &CPelorinDlg::OnStopWrite);
    onClick(m_ui->IDC_1149_LoadKey, &CPelorinDlg::OnLoadKey);
    onClick(m_ui->IDC_1152_Des, &CPelorinDlg::OnDes);
    onClick(m_ui->IDC_1150_ContDes, &CPelorinDlg::OnContDes);
    onClick(m_ui->IDC_1151_StopDes, &CPelorinDlg::OnStopDes);
    connect(m_ui->IDC_1016_Port, &QComboBox::activated, this, &CPelorinDlg::OnSelchangePort);
}

CPelorinDlg::~CPelorinDlg() = default;

void CPelorinDlg::DoDataExchange(CDataExchange& dx) {
    m_cbPort = m_ui->IDC_1016_Port;
    dx.Text(m_ui->IDC_1131_Country, m_strCountry, 3);
    dx.Text(m_ui->IDC_1139_National, m_strNational, 12);
    dx.Text(m_ui->IDC_1129_Add, m_nAdd);
    dx.Text(m_ui->IDC_1132_FdxAdd, m_nFdxAdd);
    dx.Text(m_ui->IDC_1133_FdxCountry, m_strFdxCountry, 3);
    dx.Text(m_ui->IDC_1145_FdxNational, m_strFdxNational, 12);
    dx.Text(m_ui->IDC_1148_Key, m_strKey, 15);
}

bool CPelorinDlg::UpdateData(bool bSaveAndValidate) {
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(dx);
    return !dx.Failed();
}

void CPelorinDlg::setVisible(bool visible) {
    if (visible && !m_bInitialized) {
        m_bInitialized = true;
        OnInitDialog();
    }
    QDialog::setVisible(visible);
}

bool CPelorinDlg::OnInitDialog() {
    UpdateData(false);

    const QString aboutText = QString::fromUtf8(kAboutMenuText);
    m_pSystemMenu = new QMenu(this);
    m_pSystemMenu->addAction(QString::fromUtf8(kMinimizeMenuText))->setData(kScMinimize);
    m_pSystemMenu->addAction(QString::fromUtf8(kCloseMenuText))->setData(kScClose);
    if (!aboutText.isEmpty()) {
        m_pSystemMenu->addSeparator();
        m_pSystemMenu->addAction(aboutText)->setData(kIdmAboutBox);
    }

    setWindowIcon(m_hIcon);

    m_cbPort->addItem(QStringLiteral("Select"));
    m_cbPort->setCurrentIndex(0);
    for (int port = 1; port <= kLastListedPort; ++port) {
        m_cbPort->addItem(QStringLiteral("COM%1").arg(port));
    }

    m_nAdd = 1;
    m_writeLog.m_strLogFile = "0.csv";
    m_ui->IDC_1143_10D->setChecked(true);
    m_ui->IDC_1144_10H->setChecked(false);

    EnablePortButtons(false);
    SearchPorts();

    m_editFont = QFont(QString::fromUtf8(kEditFontFamily), kEditFontPoints);
    for (QLineEdit* edit : {m_ui->IDC_1131_Country, m_ui->IDC_1139_National, m_ui->IDC_1129_Add,
                            m_ui->IDC_1133_FdxCountry, m_ui->IDC_1145_FdxNational,
                            m_ui->IDC_1132_FdxAdd, m_ui->IDC_1148_Key}) {
        edit->setFont(m_editFont);
    }

    m_ui->IDC_1146_ContWrite->setEnabled(true);
    m_ui->IDC_1147_StopWrite->setEnabled(false);
    m_ui->IDC_1151_StopDes->setEnabled(false);

    UpdateData(false);
    return true;
}

void CPelorinDlg::EnablePortButtons(bool bPortInUse) {
    m_ui->IDC_1140_Search->setEnabled(!bPortInUse);
    m_ui->IDC_1141_Open->setEnabled(!bPortInUse);
    m_ui->IDC_1142_Close->setEnabled(bPortInUse);
}

void CPelorinDlg::SearchPorts() {
    for (int port = kFirstSearchedPort; port <= kLastSearchedPort; ++port) {
        ClosePort();
        if (OpenPort(port) == 0) {
            continue;
        }
        if (m_readerLink.Check(kReaderAddress) != 0) {
            continue;
        }
        m_readerLink.Signal(kReaderAddress);
        m_cbPort->setCurrentIndex(port);
        EnablePortButtons(true);
        return;
    }
}

void CPelorinDlg::OnSearch() {
    SearchPorts();
}

void CPelorinDlg::OnOpenPort() {
    const int port = m_cbPort->currentIndex();
    ClosePort();
    if (OpenPort(port) != 0) {
        EnablePortButtons(true);
    }
}

void CPelorinDlg::OnClosePort() {
    ClosePort();
    EnablePortButtons(false);
}

// Open reads the selection when pressed; choosing an entry changes nothing by itself.
void CPelorinDlg::OnSelchangePort() {}

void CPelorinDlg::accept() {
    if (!UpdateData(true)) {
        return;
    }
    QDialog::accept();
}

void CPelorinDlg::keyPressEvent(QKeyEvent* event) {
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

void CPelorinDlg::contextMenuEvent(QContextMenuEvent* event) {
    if (m_pSystemMenu == nullptr) {
        return;
    }
    const QAction* chosen = m_pSystemMenu->exec(event->globalPos());
    if (chosen != nullptr) {
        OnSysCommand(chosen->data().toUInt());
    }
}

void CPelorinDlg::OnSysCommand(unsigned nID) {
    switch (nID & 0xFFF0) {
        case kIdmAboutBox: {
            CAboutDlg dlgAbout(this);
            dlgAbout.exec();
            break;
        }
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

QBasicTimer* CPelorinDlg::Timer(int nIDEvent) {
    if (nIDEvent < 1 || nIDEvent > static_cast<int>(m_timers.size())) {
        return nullptr;
    }
    return &m_timers[static_cast<std::size_t>(nIDEvent - 1)];
}

void CPelorinDlg::SetTimer(int nIDEvent, int nElapse) {
    if (QBasicTimer* timer = Timer(nIDEvent)) {
        timer->start(nElapse, this);
    }
}

void CPelorinDlg::KillTimer(int nIDEvent) {
    if (QBasicTimer* timer = Timer(nIDEvent)) {
        timer->stop();
    }
}

bool CPelorinDlg::IsTimerActive(int nIDEvent) const {
    return const_cast<CPelorinDlg*>(this)->Timer(nIDEvent) != nullptr &&
           m_timers[static_cast<std::size_t>(nIDEvent - 1)].isActive();
}

void CPelorinDlg::timerEvent(QTimerEvent* event) {
    for (const QBasicTimer& timer : m_timers) {
        if (timer.timerId() == event->timerId()) {
            OnTimer();
            return;
        }
    }
    QDialog::timerEvent(event);
}
