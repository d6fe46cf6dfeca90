// "File Filtering", "All Filtering Rules" and "Select File Type".
#include "platform/TextFormat.h"
#include "FilterDialogs.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "FilesUiTexts.h"
#include "core/FilesSelection.h"
#include "core/FilesTexts.h"
#include "core/TavJobFilesHelper.h"
#include "tavui/Prompt.h"
#include "tavui/TavColors.h"

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }

QLabel* Note(const char* text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setStyleSheet("color: palette(mid);");
    return label;
}
}  // namespace

// --- File Filtering ---

CFileFilteringDlg::CFileFilteringDlg(CTavJobFilesHelper& selection, const std::string& path,
                                     tavui::IPrompt& prompt, QWidget* parent)
    : QDialog(parent), m_selection(selection), m_path(path), m_prompt(prompt),
      m_included(new QLineEdit(this)), m_excluded(new QLineEdit(this)),
      m_recursive(new QCheckBox(filesui::APPLY_TO_SUB_FOLDERS, this)),
      m_showAll(new QPushButton(filesui::SHOW_ALL_FILTERS, this)) {
    setObjectName("CFileFilteringDlg");
    setWindowTitle(filesui::FILTERING_TITLE);
    m_included->setObjectName("included");
    m_excluded->setObjectName("excluded");
    m_recursive->setObjectName("recursive");
    m_showAll->setObjectName("showAll");
    auto* pathLabel = new QLabel(Q(path), this);
    pathLabel->setObjectName("path");
    pathLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    pathLabel->setWordWrap(true);
    auto* form = new QFormLayout();
    form->addRow(filesui::INCLUDE_LABEL, m_included);
    form->addRow(filesui::EXCLUDE_LABEL, m_excluded);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->addButton(m_showAll, QDialogButtonBox::ActionRole);
    for (QAbstractButton* b : buttons->buttons())
        if (auto* push = qobject_cast<QPushButton*>(b)) TavoraColorDef::InitButtonST(push);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pathLabel);
    layout->addLayout(form);
    layout->addWidget(Note(filesui::DELIMITER_NOTE, this));
    layout->addWidget(Note(filesui::EXAMPLE_NOTE, this));
    layout->addWidget(m_recursive);
    layout->addStretch(1);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_showAll, &QPushButton::clicked, this, &CFileFilteringDlg::OnShowAll);
    Load();
    resize(460, sizeHint().height());
}

void CFileFilteringDlg::Load() {
    if (m_selection.IsDirty()) m_selection.Sort();
    const auto included = m_selection.GetFilterDesc(m_path, filestext::XML_INCLUDED);
    if (!included) {
        m_included->clear();
        m_excluded->clear();
        m_recursive->setChecked(true);
        return;
    }
    m_included->setText(Q(*included));
    m_excluded->setText(Q(m_selection.GetFilterDesc(m_path, filestext::XML_EXCLUDED_LIST).value_or("")));
    m_recursive->setChecked(m_selection.GetFilterDesc(m_path, filestext::XML_RECURSIVE).value_or("") ==
                            filestext::XML_YES);
}

void CFileFilteringDlg::OnShowAll() {
    CAllFiltersDlg dialog(m_selection, m_prompt, this);
    tavui::ExecDialog(dialog);
    if (dialog.Removed()) {
        m_changed = true;
        Load();
    }
}

void CFileFilteringDlg::accept() {
    if (EditFolderFilter(m_selection, m_path, m_included->text().trimmed().toStdString(),
                         m_excluded->text().trimmed().toStdString(), m_recursive->isChecked()))
        m_changed = true;
    QDialog::accept();
}

// --- All Filtering Rules ---

CAllFiltersDlg::CAllFiltersDlg(CTavJobFilesHelper& selection, tavui::IPrompt& prompt, QWidget* parent)
    : QDialog(parent), m_selection(selection), m_prompt(prompt), m_list(new QTreeWidget(this)),
      m_remove(new QPushButton(filesui::REMOVE, this)), m_clearAll(new QPushButton(filesui::CLEAR_ALL, this)) {
    setObjectName("CAllFiltersDlg");
    setWindowTitle(filesui::ALL_FILTERS_TITLE);
    setSizeGripEnabled(true);
    m_list->setObjectName("filters");
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setAllColumnsShowFocus(true);
    QStringList headings;
    for (const auto& column : filesui::FILTER_COLUMNS) headings << column.heading;
    m_list->setHeaderLabels(headings);
    for (size_t i = 0; i < std::size(filesui::FILTER_COLUMNS); ++i)
        m_list->setColumnWidth(int(i), TavoraColorDef::DluToPixels(m_list, filesui::FILTER_COLUMNS[i].width,
                                                                   filesui::FILTER_COLUMNS[i].heading));
    auto* close = new QPushButton(filesui::CLOSE, this);
    m_remove->setObjectName("remove");
    m_clearAll->setObjectName("clearAll");
    close->setObjectName("close");
    auto* side = new QVBoxLayout();
    for (QPushButton* b : {m_remove, m_clearAll, close}) {
        TavoraColorDef::InitButtonST(b);
        side->addWidget(b);
    }
    side->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addLayout(side);
    connect(m_remove, &QPushButton::clicked, this, &CAllFiltersDlg::OnRemove);
    connect(m_clearAll, &QPushButton::clicked, this, &CAllFiltersDlg::OnClearAll);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, &CAllFiltersDlg::UpdateButtons);
    Fill();
    // Wide enough for the four columns beside the buttons.
    int columns = 0;
    for (int i = 0; i < m_list->columnCount(); ++i) columns += m_list->columnWidth(i);
    resize(columns + m_clearAll->sizeHint().width() + 60, 320);
}

void CAllFiltersDlg::Fill() {
    m_list->clear();
    if (m_selection.IsDirty()) m_selection.Sort();
    for (int i = 0; i < m_selection.GetFilterCount(); ++i) {
        XMLNode filter;
        if (!m_selection.GetFilter(i, filter)) continue;
        new QTreeWidgetItem(m_list, {Q(filter.GetAttribute(filestext::XML_FULLPATH)),
                                     Q(filter.GetAttribute(filestext::XML_INCLUDED)),
                                     Q(filter.GetAttribute(filestext::XML_EXCLUDED_LIST)),
                                     Q(filter.GetAttribute(filestext::XML_RECURSIVE))});
    }
    UpdateButtons();
}

void CAllFiltersDlg::UpdateButtons() {
    m_remove->setEnabled(m_list->selectedItems().size() == 1);
    m_clearAll->setEnabled(m_list->topLevelItemCount() > 0);
}

void CAllFiltersDlg::OnRemove() {
    const auto selected = m_list->selectedItems();
    if (selected.size() != 1) return;
    const std::string path = selected.first()->text(0).toStdString();
    const std::string question = plat::Format(filesui::ASK_REMOVE_FILTER, path.c_str());
    if (m_prompt.Message(this, question, tavui::PromptIcon::Question, tavui::PromptButtons::YesNo, tavui::ID_NO) !=
        tavui::ID_YES)
        return;
    if (m_selection.RemoveFilter(path)) m_removed = true;
    delete selected.first();
    UpdateButtons();
}

void CAllFiltersDlg::OnClearAll() {
    if (m_list->topLevelItemCount() == 0) return;
    if (m_prompt.Message(this, filesui::ASK_CLEAR_FILTERS, tavui::PromptIcon::Question, tavui::PromptButtons::YesNo,
                         tavui::ID_NO) != tavui::ID_YES)
        return;
    m_selection.ClearAllFilters();
    m_selection.Sort();
    m_removed = true;
    Fill();
}

// --- Select File Type ---

CSelectFilterDlg::CSelectFilterDlg(tavui::CTypeGroupModel& model, const std::string& folderName, QWidget* parent)
    : CSelectionDlg(model, filesui::SELECT_TYPE_TITLE, parent) {
    setObjectName("CSelectFilterDlg");
    // The folder's name above the list of types.
    if (auto* row = qobject_cast<QHBoxLayout*>(layout())) {
        row->removeWidget(List());
        auto* left = new QVBoxLayout();
        left->addWidget(new QLabel(filesui::SELECT_TYPE_LABEL, this));
        auto* name = new QLabel(Q(folderName), this);
        name->setObjectName("folder");
        QFont bold = name->font();
        bold.setBold(true);
        name->setFont(bold);
        left->addWidget(name);
        left->addWidget(List(), 1);
        row->insertLayout(0, left, 1);
    }
}
