// CPasswordDlg: "Password Protection", one masked field.
#pragma once
#include <QDialog>
#include <string>

class QLineEdit;

class CPasswordDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int IDD = 132;
    explicit CPasswordDlg(QWidget* parent = nullptr);
    std::string Password() const;
    QLineEdit* Field() const { return m_field; }

private:
    QLineEdit* m_field;
};
