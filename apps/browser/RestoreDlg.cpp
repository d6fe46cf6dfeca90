// The Restore dialog.
#include "RestoreDlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStackedWidget>
#include <QStyle>
#include <QTextCursor>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cstdio>

#include "BrowserTexts.h"
#include "EngineRun.h"
#include "RunPanel.h"
#include "tavengine/TavJobHelper.h"
#include "tavrep/FormatAdaptor.h"
#include "tavui/Prompt.h"
#include "tavui/TavColors.h"
#include "tavui/TavFormat.h"
#include "tavui/TavTlcDataRep.h"
#include "tavui/TreeListCtrl.h"
#include "platform/TextFormat.h"

using namespace browsertext;

namespace {
QCheckBox* MakeCheck(QWidget* parent, int id, const char* text) {
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(QString::number(id));
    return box;
}
uint32_t Flag(const QCheckBox* box) { return box->isChecked() ? 1 : 0; }
}  // namespace

CRestoreDlg::CRestoreDlg(const BrowserRunContext& context, uint32_t baseline, bool selectedScope,
                         QWidget* parent)
    : QDialog(parent), m_context(context), m_callback(*context.prompt, this), m_baseline(baseline) {
    setObjectName(QString::number(IDD));
    setWindowTitle("Restore");
    browsersettings::Load(m_options);
    // The dialog answers the repository while it is open.
    m_context.repository->SetRepErrorCallback(&m_callback);

    m_heading = new QLabel(SELECT_BASELINE, this);
    m_heading->setObjectName("1009");
    QFont bold = m_heading->font();
    bold.setBold(true);
    m_heading->setFont(bold);
    m_list = new QTreeWidget(this);
    m_list->setObjectName("1005");
    m_list->setRootIsDecorated(false);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setAllColumnsShowFocus(true);
    m_list->setHeaderLabels({"Baseline Number", "Baseline Name", "Backup Type", "Backup Date",
                             "Image File", "Description"});
    const int widths[] = {100, 100, 80, 125, 125, 300};
    for (int i = 0; i < 6; ++i)
        m_list->setColumnWidth(i, TavoraColorDef::DluToPixels(m_list, widths[i], m_list->headerItem()->text(i)));
    m_list->headerItem()->setTextAlignment(0, Qt::AlignRight | Qt::AlignVCenter);
    TavoraColorDef::InitFlatHeader(m_list->header());
    m_log = new QPlainTextEdit(this);
    m_log->setObjectName("1010");
    m_log->setReadOnly(true);
    m_stack = new QStackedWidget(this);
    m_stack->addWidget(m_list);
    m_stack->addWidget(m_log);

    auto* scope = new QGroupBox("Restore", this);
    m_entire = new QRadioButton("Restore entire baseline", scope);
    m_entire->setObjectName("1007");
    m_selected = new QRadioButton("Restore selected items", scope);
    m_selected->setObjectName("1006");
    (selectedScope ? m_selected : m_entire)->setChecked(true);
    auto* scopeLayout = new QVBoxLayout(scope);
    scopeLayout->addWidget(m_entire);
    scopeLayout->addWidget(m_selected);

    auto* options = new QGroupBox("Options", this);
    m_always = MakeCheck(options, 1011, "Always overwrite existing files");
    m_older = MakeCheck(options, 1013, "Overwrite if the existing file is older");
    m_sizes = MakeCheck(options, 1014, "Overwrite if sizes are different");
    m_dates = MakeCheck(options, 1015, "Restore file date/time");
    m_verbose = MakeCheck(options, 1017, "Verbose Logging");
    m_verify = MakeCheck(options, 1019, "Verify restored files (take more time to restore)");
    auto* optionLayout = new QGridLayout(options);
    optionLayout->addWidget(m_always, 0, 0);
    optionLayout->addWidget(m_dates, 0, 1);
    optionLayout->addWidget(m_older, 1, 0);
    optionLayout->addWidget(m_verbose, 1, 1);
    optionLayout->addWidget(m_sizes, 2, 0);
    optionLayout->addWidget(m_verify, 2, 1);

    auto* where = new QGroupBox("Destination", this);
    m_original = MakeCheck(where, 1021, "Restore to the original location (only files and folders)");
    m_destination = new QLineEdit(where);
    m_destination->setObjectName("1020");
    m_browse = new QPushButton(where);
    m_browse->setObjectName("1052");
    m_browse->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    m_browse->setToolTip("Browse...");
    auto* whereLayout = new QGridLayout(where);
    whereLayout->addWidget(m_original, 0, 0, 1, 2);
    whereLayout->addWidget(m_destination, 1, 0);
    whereLayout->addWidget(m_browse, 1, 1);

    m_restore = new QPushButton("Restore", this);
    m_restore->setObjectName("1069");
    m_restore->setDefault(true);
    m_close = new QPushButton("Close", this);
    m_close->setObjectName("2");
    TavoraColorDef::InitButtonST(m_restore);
    TavoraColorDef::InitButtonST(m_close);
    TavoraColorDef::InitButtonST(m_browse);
    m_panel = new CRunPanel(*this, *m_restore, m_context);
    m_panel->onRunning = [this](bool running) { running ? RunningView() : IdleView(); };
    // Only the new lines are added: setting the whole log again for each line would make a
    // large restore's window slower with every item.
    m_panel->onLog = [this](const std::string& added) {
        m_log->moveCursor(QTextCursor::End);
        m_log->insertPlainText(QString::fromStdString(added).remove(QChar('\r')));
        m_log->verticalScrollBar()->setValue(m_log->verticalScrollBar()->maximum());
    };

    auto* lower = new QHBoxLayout();
    lower->addWidget(scope);
    lower->addWidget(options, 1);
    auto* buttons = new QHBoxLayout();
    buttons->addWidget(m_panel->Status(), 1);
    buttons->addWidget(m_panel->Progress(), 1);
    buttons->addWidget(m_restore);
    buttons->addWidget(m_close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_heading);
    layout->addWidget(m_stack, 1);
    layout->addLayout(lower);
    layout->addWidget(where);
    layout->addLayout(buttons);

    FillBaselines();
    ShowData();
    ApplyRules();
    resize(760, 520);

    connect(m_always, &QCheckBox::toggled, this, [this] { SaveData(); ApplyRules(); });
    connect(m_original, &QCheckBox::toggled, this, [this] { SaveData(); ApplyRules(); });
    connect(m_list, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        SaveData();
        if (item != nullptr) m_baseline = item->text(0).toUInt();
        ApplyRules();
    });
    connect(m_browse, &QPushButton::clicked, this, &CRestoreDlg::OnBrowse);
    connect(m_restore, &QPushButton::clicked, this, &CRestoreDlg::OnRestore);
    connect(m_close, &QPushButton::clicked, this, &CRestoreDlg::reject);
}

CRestoreDlg::~CRestoreDlg() {
    m_panel->Abort();
    // The dialog no longer answers for the repository.
    m_context.repository->SetRepErrorCallback(m_context.mainCallback);
}

bool CRestoreDlg::IsRunning() const { return m_panel->IsRunning(); }
CEngineRun* CRestoreDlg::Run() const { return m_panel->Run(); }

QCheckBox* CRestoreDlg::Check(int id) const { return findChild<QCheckBox*>(QString::number(id)); }

void CRestoreDlg::FillBaselines() {
    CTavRepository& rep = *m_context.repository;
    const uint32_t latest = rep.GetLatestBaselineNumber();
    QTreeWidgetItem* preselected = nullptr;
    for (uint32_t number = latest; latest != TAV_NONE && number != 0; --number) {
        TavBaselineHeaderRec header;
        if (rep.GetBaselineHeader(number, header) != 1) continue;
        std::string image = rep.GetImagePath(header.image);
        if (image.empty()) CTavRepository::BuildImagePath(image, rep.GetCurrentRepPath(), header.image);
        const size_t slash = image.find_last_of('/');
        if (slash != std::string::npos) image = image.substr(slash + 1);
        auto* row = new QTreeWidgetItem(m_list);
        row->setText(0, QString::number(number));
        row->setTextAlignment(0, Qt::AlignRight | Qt::AlignVCenter);
        row->setText(1, QString::fromStdString(Utf16FieldToUtf8(header.name, 64)));
        row->setText(2, QString::fromStdString(CTavJobHelper::GetBackupTypeName(header.type)));
        row->setText(3, QString::fromStdString(tavui::LocalTimeText(header.time, tavui::LIST_TIME_FORMAT)));
        row->setText(4, QString::fromStdString(image));
        row->setText(5, QString::fromStdString(Utf16FieldToUtf8(header.description, 512)));
        if (number == m_baseline) preselected = row;
    }
    if (preselected == nullptr) preselected = m_list->topLevelItem(0);
    if (preselected != nullptr) {
        m_list->setCurrentItem(preselected);
        m_baseline = preselected->text(0).toUInt();
    }
}

void CRestoreDlg::ShowData() {
    m_always->setChecked(m_options.restoreOverwrite == 1);
    m_older->setChecked(m_options.overwriteDate == 1);
    m_sizes->setChecked(m_options.overwriteSize == 1);
    m_dates->setChecked(m_options.restoreDate == 1);
    m_verbose->setChecked(m_options.verbose == 1);
    m_verify->setChecked(m_options.checksum == 1);
    m_original->setChecked(m_options.originalDir == 1);
    m_destination->setText(QString::fromStdString(m_options.destination));
}

void CRestoreDlg::SaveData() {
    m_options.restoreOverwrite = Flag(m_always);
    m_options.overwriteDate = Flag(m_older);
    m_options.overwriteSize = Flag(m_sizes);
    m_options.restoreDate = Flag(m_dates);
    m_options.verbose = Flag(m_verbose);
    m_options.checksum = Flag(m_verify);
    m_options.originalDir = Flag(m_original);
    m_options.destination = m_destination->text().toStdString();
    browsersettings::Save(m_options);
}

void CRestoreDlg::ApplyRules() {
    const bool running = m_panel->IsRunning();
    m_restore->setEnabled(running || m_list->currentItem() != nullptr);
    m_destination->setEnabled(!running && !m_original->isChecked());
    m_browse->setEnabled(!running && !m_original->isChecked());
    m_older->setEnabled(!running && !m_always->isChecked());
    m_sizes->setEnabled(!running && !m_always->isChecked());
    for (QWidget* w : std::initializer_list<QWidget*>{m_always, m_dates, m_verbose, m_verify, m_original,
                                                      m_entire, m_selected, m_close})
        w->setEnabled(!running);
}

void CRestoreDlg::OnBrowse() {
    auto folder = m_context.prompt->FolderDialog(this, BROWSE_TITLE, m_destination->text().toStdString());
    if (!folder) return;
    m_options.destination = *folder;
    m_destination->setText(QString::fromStdString(*folder));
    SaveData();
}

std::string CRestoreDlg::BuildRequest() {
    SaveData();
    const auto excluded = browsersettings::CollectExcludedNodes(m_context.tree->Roots());
    return browsersettings::RestoreRequest(m_options, m_baseline, m_selected->isChecked(), excluded);
}

void CRestoreDlg::OnRestore() {
    if (m_panel->AskStop()) return;
    const std::string request = BuildRequest();
    std::vector<TavNodeRec> roots;
    for (CTlcDataProvider* provider : m_context.tree->Roots()) {
        if (!m_entire->isChecked() && provider->CheckState() == TLC_UNCHECKED) continue;
        if (const TavNodeRec* node = ProviderNode(provider)) roots.push_back(*node);
    }
    auto run = std::make_unique<CEngineRun>(*m_context.hub, *m_context.repository, request, true);
    const bool goOn = run->Prepare(roots);
    if (!goOn || m_context.prompt->Message(this, START_QUESTION, tavui::PromptIcon::Question,
                                           tavui::PromptButtons::OkCancel) != tavui::ID_OK) {
        run->Finish();
        return;
    }
    m_panel->Start(std::move(run), STARTING_RESTORE);
}

void CRestoreDlg::RunningView() {
    m_heading->setText(QString::fromStdString(plat::Format(RESTORING_FROM, int(m_baseline))));
    m_log->clear();
    m_stack->setCurrentWidget(m_log);
    ApplyRules();
}

void CRestoreDlg::IdleView() {
    m_heading->setText(SELECT_BASELINE);
    m_stack->setCurrentWidget(m_list);
    m_log->clear();
    ApplyRules();
}

void CRestoreDlg::reject() {
    if (m_panel->IsRunning()) return;  // "Close" is disabled while running; Escape is ignored too
    QDialog::reject();
}
