// The About box.
#ifndef PELORIN_ABOUT_DLG_H
#define PELORIN_ABOUT_DLG_H

#include <QDialog>
#include <memory>

namespace Ui {
class CAboutDlg;
}

class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    ~CAboutDlg() override;

private:
    std::unique_ptr<Ui::CAboutDlg> m_ui;
};

#endif
