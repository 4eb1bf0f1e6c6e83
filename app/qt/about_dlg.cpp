#include "about_dlg.h"

#include "app_resources.h"
#include "ui_about_dlg.h"

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent), m_ui(std::make_unique<Ui::CAboutDlg>()) {
    m_ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    // Icons are drawn at their own size, whatever room the template leaves them.
    const QSize iconSize(32, 32);
    m_ui->IDC_STATIC_Icon->resize(m_ui->IDC_STATIC_Icon->size().expandedTo(iconSize));
    m_ui->IDC_STATIC_Icon->setPixmap(AppIcon().pixmap(iconSize));
}

CAboutDlg::~CAboutDlg() = default;
