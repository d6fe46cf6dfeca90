// The Extract dialog.
#include "ExtractItemDlg.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "BrowserTexts.h"
#include "EngineRun.h"
#include "RunPanel.h"
#include "tavrep/FormatAdaptor.h"
#include "tavui/Prompt.h"
#include "tavui/TavColors.h"
#include "tavui/TavFormat.h"
#include "tavui/TreeListCtrl.h"

using namespace browsertext;

namespace {
QCheckBox* MakeCheck(QWidget* parent, int id, const char* text) {
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(QString::number(id));
    return box;
}
bool IsFolder(const TavNodeRec& node) { return (node.attributes & TAV_ATTR_DIRECTORY) != 0; }
}  // namespace

std::vector<std::pair<std::string, std::string>> CExtractItemDlg::InfoRows(const TavNodeRec& node) {
    return {{"Source Item", Utf16FieldToUtf8(node.name, NODE_NAME_CHARS)},
            {"Type", IsFolder(node) ? "Folder" : "File"},
            {"Item Size", tavui::GroupedNumber(node.Size()) + " Bytes"},
            {"Original Date", tavui::FileTimeText(node.written, tavui::DETAIL_TIME_FORMAT)},
            {"Version Number", std::to_string(node.updateCount)},
            {"Backup Date", tavui::LocalTimeText(node.stamp, tavui::DETAIL_TIME_FORMAT)}};
}

CExtractItemDlg::CExtractItemDlg(const BrowserRunContext& context, const TavNodeRec& source,
                                 const TavNodeRec& root, uint32_t baseline, bool selectedScope,
                                 QWidget* parent)
    : QDialog(parent), m_context(context), m_callback(*context.prompt, this), m_source(source),
      m_root(root), m_baseline(baseline) {
    setObjectName(QString::number(IDD));
    setWindowTitle("Extract");
    browsersettings::Load(m_options);

    m_info = new QTreeWidget(this);
    m_info->setObjectName("1021");
    m_info->setRootIsDecorated(false);
    m_info->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_info->setHeaderLabels({"Field", "Value"});
    m_info->setColumnWidth(0, TavoraColorDef::DluToPixels(m_info, 105));
    m_info->setColumnWidth(1, TavoraColorDef::DluToPixels(m_info, 330));
    m_info->headerItem()->setTextAlignment(0, Qt::AlignRight | Qt::AlignVCenter);
    TavoraColorDef::InitFlatHeader(m_info->header());
    for (const auto& [field, value] : InfoRows(source)) {
        auto* row = new QTreeWidgetItem(m_info);
        row->setText(0, QString::fromStdString(field));
        row->setTextAlignment(0, Qt::AlignRight | Qt::AlignVCenter);
        row->setText(1, QString::fromStdString(value));
    }
    m_info->setMinimumHeight(m_info->sizeHintForRow(0) * 7 + 8);

    auto* where = new QGroupBox("Extract to", this);
    m_destination = new QLineEdit(where);
    m_destination->setObjectName("1010");
    m_browse = new QPushButton(where);
    m_browse->setObjectName("1070");
    m_browse->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    m_browse->setToolTip("Browse...");
    auto* whereLayout = new QHBoxLayout(where);
    whereLayout->addWidget(m_destination, 1);
    whereLayout->addWidget(m_browse);

    auto* scope = new QGroupBox("Items", this);
    m_all = new QRadioButton("Extract all files and folders under the Source Item", scope);
    m_all->setObjectName("1007");
    m_selected = new QRadioButton("Extract only the selected files and folders under the Source Item", scope);
    m_selected->setObjectName("1006");
    (selectedScope ? m_selected : m_all)->setChecked(true);
    m_recursive = MakeCheck(scope, 1014, "Include Subfolders");
    auto* scopeLayout = new QVBoxLayout(scope);
    scopeLayout->addWidget(m_all);
    scopeLayout->addWidget(m_selected);
    scopeLayout->addWidget(m_recursive);

    auto* options = new QGroupBox("Options", this);
    m_overwrite = MakeCheck(options, 1017, "Overwrite Existing Files");
    m_verify = MakeCheck(options, 1019, "Verify extracted files (take more time to extract)");
    auto* optionLayout = new QVBoxLayout(options);
    optionLayout->addWidget(m_overwrite);
    optionLayout->addWidget(m_verify);

    m_extract = new QPushButton("Extract", this);
    m_extract->setObjectName("1015");
    m_extract->setDefault(true);
    m_close = new QPushButton("Close", this);
    m_close->setObjectName("2");
    for (QPushButton* b : {m_extract, m_close, m_browse}) TavoraColorDef::InitButtonST(b);
    m_panel = new CRunPanel(*this, *m_extract, m_context);
    m_panel->onRunning = [this](bool running) { m_close->setEnabled(!running); };

    auto* buttons = new QHBoxLayout();
    buttons->addWidget(m_panel->Status(), 1);
    buttons->addWidget(m_panel->Progress(), 1);
    buttons->addWidget(m_extract);
    buttons->addWidget(m_close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_info, 1);
    layout->addWidget(where);
    layout->addWidget(scope);
    layout->addWidget(options);
    layout->addLayout(buttons);

    const bool folder = IsFolder(source);
    m_all->setEnabled(folder);
    m_selected->setEnabled(folder);
    m_recursive->setEnabled(folder);
    ShowData();
    resize(TavoraColorDef::DluToPixels(this, 460), 520);

    connect(m_browse, &QPushButton::clicked, this, [this] {
        auto folder = m_context.prompt->FolderDialog(this, BROWSE_TITLE, m_destination->text().toStdString());
        if (!folder) return;
        m_destination->setText(QString::fromStdString(*folder));
        SaveData();
    });
    connect(m_extract, &QPushButton::clicked, this, &CExtractItemDlg::OnExtract);
    connect(m_close, &QPushButton::clicked, this, &CExtractItemDlg::reject);
}

CExtractItemDlg::~CExtractItemDlg() {
    m_panel->Abort();
    m_context.repository->SetRepErrorCallback(m_context.mainCallback);
}

bool CExtractItemDlg::IsRunning() const { return m_panel->IsRunning(); }
CEngineRun* CExtractItemDlg::Run() const { return m_panel->Run(); }

QCheckBox* CExtractItemDlg::Check(int id) const { return findChild<QCheckBox*>(QString::number(id)); }

void CExtractItemDlg::ShowData() {
    m_overwrite->setChecked(m_options.extractOverwrite == 1);
    m_recursive->setChecked(m_options.extractRecursive == 1);
    m_verify->setChecked(m_options.extractChecksum == 1);
    m_destination->setText(QString::fromStdString(m_options.extractDestination));
}

void CExtractItemDlg::SaveData() {
    m_options.extractOverwrite = m_overwrite->isChecked() ? 1 : 0;
    m_options.extractRecursive = m_recursive->isChecked() ? 1 : 0;
    m_options.extractChecksum = m_verify->isChecked() ? 1 : 0;
    m_options.extractDestination = m_destination->text().toStdString();
    browsersettings::Save(m_options);
}

std::string CExtractItemDlg::BuildRequest() {
    SaveData();
    const auto excluded = browsersettings::CollectExcludedNodes(m_context.tree->Roots());
    return browsersettings::ExtractRequest(m_options, m_baseline, m_selected->isChecked(), excluded,
                                           m_source.nodeId);
}

void CExtractItemDlg::OnExtract() {
    if (m_panel->AskStop()) return;
    const std::string request = BuildRequest();
    m_context.repository->SetRepErrorCallback(&m_callback);
    auto run = std::make_unique<CEngineRun>(*m_context.hub, *m_context.repository, request, false);
    run->Prepare({m_root});
    m_panel->Start(std::move(run), STARTING_EXTRACT);
}

void CExtractItemDlg::reject() {
    if (m_panel->IsRunning()) return;
    QDialog::reject();
}
