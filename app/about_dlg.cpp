#include "about_dlg.h"

#include "app_resources.h"
#include "ui_about_dlg.h"

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent), m_ui(std::make_unique<Ui::CAboutDlg>()) {
    m_ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    m_ui->IDC_STATIC_Icon->setPixmap(AppIcon().pixmap(32, 32));
}

CAboutDlg::~CAboutDlg() = default;
