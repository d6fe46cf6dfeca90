// The identity mapping dialog.
#include "MapIdentityDlg.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "core/OeIdentityMapping.h"
#include "core/OeTexts.h"
#include "tavui/Prompt.h"
#include "tavui/TavColors.h"

CMapIdentityDlg::CMapIdentityDlg(COeIdentityMapping& mapping, tavui::IPrompt& prompt, QWidget* parent)
    : QDialog(parent), m_mapping(mapping), m_prompt(prompt), m_list(new QTreeWidget(this)),
      m_from(new QLineEdit(this)), m_to(new QComboBox(this)) {
    setObjectName(QString::number(IDD));
    setWindowTitle(oetext::MAP_TITLE);
    m_list->setObjectName("10000");
    m_list->setRootIsDecorated(false);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setHeaderLabels({oetext::MAP_COLUMN_FROM, oetext::MAP_COLUMN_TO});
    for (int i = 0; i < 2; ++i)
        m_list->setColumnWidth(i, TavoraColorDef::DluToPixels(m_list, oetext::MAP_COLUMN_WIDTH));
    m_from->setObjectName("10001");
    m_from->setReadOnly(true);
    m_to->setObjectName("10002");
    for (const std::string& name : mapping.TargetChoices()) m_to->addItem(QString::fromStdString(name));
    auto* form = new QFormLayout();
    form->addRow(oetext::MAP_FROM, m_from);
    form->addRow(oetext::MAP_TO, m_to);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    TavoraColorDef::InitButtonBox(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(oetext::MAP_LABEL, this));
    layout->addWidget(m_list, 1);
    layout->addLayout(form);
    layout->addWidget(buttons);
    ShowRows();
    connect(m_list, &QTreeWidget::currentItemChanged, this, [this] {
        const int row = m_list->currentIndex().row();
        if (row >= 0) m_mapping.SelectRow(size_t(row));
        ShowSelection();
    });
    connect(m_to, &QComboBox::activated, this, [this](int index) {
        m_mapping.ChooseTarget(index);
        ShowRows();
    });
    connect(buttons, &QDialogButtonBox::accepted, this, &CMapIdentityDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    resize(TavoraColorDef::DluToPixels(this, 440), 340);
}

void CMapIdentityDlg::ShowRows() {
    const QSignalBlocker block(m_list);
    m_list->clear();
    for (size_t row = 0; row < m_mapping.RowCount(); ++row) {
        auto* item = new QTreeWidgetItem(m_list);
        item->setText(0, QString::fromStdString(m_mapping.RowText(row)));
        item->setText(1, QString::fromStdString(m_mapping.TargetText(row)));
        item->setData(0, Qt::UserRole, m_mapping.Target(row));
    }
    if (m_mapping.SelectedRow() >= 0) m_list->setCurrentItem(m_list->topLevelItem(m_mapping.SelectedRow()));
    ShowSelection();
}

void CMapIdentityDlg::ShowSelection() {
    const int row = m_mapping.SelectedRow();
    m_from->setText(QString::fromStdString(m_mapping.SelectedName()));
    const QSignalBlocker block(m_to);
    m_to->setCurrentIndex(row >= 0 ? m_mapping.Target(size_t(row)) : -1);
}

void CMapIdentityDlg::accept() {
    if (!m_mapping.IsComplete()) {
        m_prompt.Message(this, oetext::MAP_INCOMPLETE, tavui::PromptIcon::Warning);
        return;
    }
    QDialog::accept();
}

int ShowMapIdentityDialog(COeIdentityMapping* mapping) {
    if (mapping == nullptr) return 0;
    CMapIdentityDlg dialog(*mapping, tavui::SharedPrompt(), QApplication::activeWindow());
    return tavui::ExecDialog(dialog) == QDialog::Accepted ? 1 : 0;
}
