// CSelectionDlg: "Selection" (select list items by file type) over a CTypeGroupModel.
#pragma once
#include <QDialog>

#include "tavui/TypeGroups.h"

class QTreeWidget;

class CSelectionDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int IDD = 138;
    CSelectionDlg(tavui::CTypeGroupModel& model, const QString& title, QWidget* parent = nullptr);
    QTreeWidget* List() const { return m_list; }
    void accept() override;

private:
    void Fill();
    tavui::CTypeGroupModel& m_model;
    QTreeWidget* m_list;
    bool m_filling = false;
};
