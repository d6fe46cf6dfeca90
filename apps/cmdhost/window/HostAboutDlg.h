// CHostAboutDlg: "About TavCmdHost", the program's icon and "TavCmdHost Version 1.0".
#pragma once
#include <QDialog>

namespace cmdhost {

class CHostAboutDlg : public QDialog {
public:
    explicit CHostAboutDlg(QWidget* parent);
};

}  // namespace cmdhost
