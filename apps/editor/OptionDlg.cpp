#include "OptionDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyle>
#include <QTreeWidget>

#include "EditorTexts.h"
#include "EncodingBoxes.h"
#include "tavui/Prompt.h"
#include "tavui/TavColors.h"

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }

QPushButton* Button(const char* text, int id, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::number(id));
    TavoraColorDef::InitButtonST(button);
    return button;
}
}  // namespace

COptionSettings::COptionSettings(tavui::IPrompt& prompt, std::string documentsFolder, QWidget* parent)
    : QWidget(parent), m_prompt(prompt), m_documents(std::move(documentsFolder)) {
    setObjectName("206");
    auto* grid = new QGridLayout(this);
    m_location = new QLineEdit(this);
    m_location->setObjectName("1051");
    auto* browse = Button("...", 1052, this);
    m_splitSize = new QComboBox(this);
    m_splitSize->setObjectName("1050");
    m_splitSize->setEditable(true);
    for (const std::string& size : editor::SplitSizeChoices()) m_splitSize->addItem(Q(size));
    grid->addWidget(new QLabel("Location:", this), 0, 0);
    grid->addWidget(m_location, 0, 1);
    grid->addWidget(browse, 0, 2);
    grid->addWidget(new QLabel("Image Split Size:", this), 1, 0);
    grid->addWidget(m_splitSize, 1, 1);
    auto* encodingGrid = new QGridLayout();
    m_encoding = new CEncodingBoxes(this, encodingGrid, 0);
    grid->addLayout(encodingGrid, 2, 0, 1, 3);
    grid->setRowStretch(3, 1);
    connect(browse, &QPushButton::clicked, this, [this] {
        const auto folder = m_prompt.FolderDialog(this, editortext::SELECT_LOCATION,
                                                  m_location->text().toStdString());
        if (folder) m_location->setText(Q(*folder));
    });
}

void COptionSettings::Load() {
    editor::ImageDefaults values;
    editor::LoadImageDefaults(m_documents, values);
    m_location->setText(Q(values.location));
    m_splitSize->setCurrentText(Q(values.splitSize));
    m_encoding->Set(editor::DecodeEncoding(values.encoding));
}

void COptionSettings::Save() {
    editor::ImageDefaults values;
    values.location = m_location->text().toStdString();
    values.splitSize = m_splitSize->currentText().toStdString();
    values.encoding = editor::EncodeEncoding(m_encoding->Get());
    editor::SaveImageDefaults(values);
}

COptionExcludedPaths::COptionExcludedPaths(tavui::IPrompt& prompt, QWidget* parent)
    : QWidget(parent), m_prompt(prompt) {
    setObjectName("205");
    auto* grid = new QGridLayout(this);
    m_enable = new QCheckBox("Enable Excluded Paths", this);
    m_enable->setObjectName("1088");
    m_rows = new QTreeWidget(this);
    m_rows->setObjectName("1087");
    m_rows->setHeaderLabels({"Excluded Files/Folders"});
    m_rows->setRootIsDecorated(false);
    m_rows->setColumnWidth(0, 370);
    TavoraColorDef::InitFlatHeader(m_rows->header());
    auto* add = Button("Add", 1089, this);
    auto* remove = Button("Remove", 1090, this);
    auto* reset = Button("Default", 1091, this);
    grid->addWidget(m_enable, 0, 0, 1, 4);
    grid->addWidget(m_rows, 1, 0, 1, 4);
    grid->addWidget(add, 2, 1);
    grid->addWidget(remove, 2, 2);
    grid->addWidget(reset, 2, 3);
    grid->setColumnStretch(0, 1);
    connect(add, &QPushButton::clicked, this, &COptionExcludedPaths::OnAdd);
    connect(remove, &QPushButton::clicked, this, &COptionExcludedPaths::OnRemove);
    connect(reset, &QPushButton::clicked, this, &COptionExcludedPaths::OnDefault);
}

void COptionExcludedPaths::Load() {
    m_list.Load();
    m_enable->setChecked(m_list.enabled);
    Fill(-1);
}

void COptionExcludedPaths::Fill(int select) {
    m_rows->clear();
    QFileIconProvider icons;
    for (const std::string& path : m_list.rows) {
        auto* row = new QTreeWidgetItem(m_rows, {Q(path)});
        const QFileInfo info(Q(path));
        row->setIcon(0, info.exists() ? icons.icon(info) : style()->standardIcon(QStyle::SP_FileIcon));
    }
    if (select >= 0 && select < m_rows->topLevelItemCount())
        m_rows->setCurrentItem(m_rows->topLevelItem(select));
}

void COptionExcludedPaths::OnAdd() {
    const auto path = m_prompt.FolderDialog(this, "Select a file or folder.", {});
    if (!path || path->empty()) return;
    std::string error;
    if (!m_list.Add(*path, error)) {
        m_prompt.Message(this, error, tavui::PromptIcon::Warning);
        return;
    }
    Fill(int(m_list.rows.size()) - 1);
}

void COptionExcludedPaths::OnRemove() {
    QTreeWidgetItem* current = m_rows->currentItem();
    if (current == nullptr) return;
    const int index = m_rows->indexOfTopLevelItem(current);
    const std::string text = "Do you want to remove \"" + m_list.rows[size_t(index)] +
                             "\" from excluded path list?";
    if (m_prompt.Message(this, text, tavui::PromptIcon::Question, tavui::PromptButtons::YesNo,
                         tavui::ID_NO) != tavui::ID_YES)
        return;
    Fill(m_list.Remove(index));
}

void COptionExcludedPaths::OnDefault() {
    if (m_prompt.Message(this, "Do you want to reset excluded path list to the default setting?",
                         tavui::PromptIcon::Question, tavui::PromptButtons::YesNo,
                         tavui::ID_NO) != tavui::ID_YES)
        return;
    m_list.ResetToDefault();
    m_enable->setChecked(m_list.enabled);
    Fill(-1);
}

void COptionExcludedPaths::Save() {
    m_list.enabled = m_enable->isChecked();
    m_list.Save();
}

COptionDlg::COptionDlg(tavui::IPrompt& prompt, std::string documentsFolder, QWidget* parent)
    : QDialog(parent) {
    setObjectName("147");
    setWindowTitle("Options");
    auto* layout = new QGridLayout(this);
    auto* tree = new QTreeWidget(this);
    tree->setHeaderHidden(true);
    tree->setRootIsDecorated(false);
    tree->setMaximumWidth(150);
    auto* pages = new QStackedWidget(this);
    pages->setObjectName("1086");
    m_settings = new COptionSettings(prompt, std::move(documentsFolder), pages);
    m_excluded = new COptionExcludedPaths(prompt, pages);
    pages->addWidget(m_settings);
    pages->addWidget(m_excluded);
    for (const char* name : {"Backup Settings", "Excluded Paths"})
        new QTreeWidgetItem(tree, {name});
    for (int i = 0; i < 2; ++i) tree->topLevelItem(i)->setIcon(0, style()->standardIcon(QStyle::SP_DirIcon));
    connect(tree, &QTreeWidget::currentItemChanged, this, [tree, pages](QTreeWidgetItem* item) {
        if (item) pages->setCurrentIndex(tree->indexOfTopLevelItem(item));
    });
    tree->setCurrentItem(tree->topLevelItem(0));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    TavoraColorDef::InitButtonBox(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &COptionDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(tree, 0, 0);
    layout->addWidget(pages, 0, 1);
    layout->addWidget(buttons, 1, 0, 1, 2);
    layout->setColumnStretch(1, 1);
    resize(620, 400);
    m_settings->Load();
    m_excluded->Load();
}

void COptionDlg::accept() {
    m_excluded->Save();
    m_settings->Save();
    QDialog::accept();
}
