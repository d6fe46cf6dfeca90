// Selecting list items by type.
#include "tavui/SelectionDlg.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "tavui/TavColors.h"
#include "tavui/TavImageList.h"

CSelectionDlg::CSelectionDlg(tavui::CTypeGroupModel& model, const QString& title, QWidget* parent)
    : QDialog(parent), m_model(model), m_list(new QTreeWidget(this)) {
    setObjectName(QString::number(IDD));
    setWindowTitle(title);
    m_list->setObjectName("1000");
    m_list->setHeaderHidden(true);
    m_list->setRootIsDecorated(false);
    m_list->header()->setStretchLastSection(true);
    auto* all = new QPushButton("Select All", this);
    auto* none = new QPushButton("Deselect All", this);
    auto* reset = new QPushButton("Restore", this);
    auto* ok = new QPushButton("OK", this);
    auto* cancel = new QPushButton("Cancel", this);
    ok->setDefault(true);
    auto* side = new QVBoxLayout();
    for (QPushButton* b : {ok, cancel, all, none, reset}) {
        TavoraColorDef::InitButtonST(b);
        side->addWidget(b);
    }
    side->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addLayout(side);
    connect(all, &QPushButton::clicked, this, [this] { m_model.SelectAll(); Fill(); });
    connect(none, &QPushButton::clicked, this, [this] { m_model.DeselectAll(); Fill(); });
    connect(reset, &QPushButton::clicked, this, [this] { m_model.Reset(); Fill(); });
    connect(ok, &QPushButton::clicked, this, &CSelectionDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_list, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item) {
        if (m_filling) return;
        const int index = m_list->indexOfTopLevelItem(item);
        m_model.SetState(size_t(index), item->checkState(0) == Qt::Checked ? 2 : 1);
    });
    Fill();
    resize(420, 300);
}

void CSelectionDlg::Fill() {
    m_filling = true;
    m_list->clear();
    auto& images = tavui::CTavImageList::Shared();
    for (const auto& group : m_model.Groups()) {
        auto* item = new QTreeWidgetItem(m_list, QStringList(QString::fromStdString(group.type)));
        item->setIcon(0, images.Icon(group.icon == 3 ? tavui::CTavImageList::FILE_ICON : group.icon));
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, group.state == 2 ? Qt::Checked : group.state == 3 ? Qt::PartiallyChecked : Qt::Unchecked);
    }
    m_filling = false;
}

void CSelectionDlg::accept() {
    m_model.Store();
    QDialog::accept();
}
