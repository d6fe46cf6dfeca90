// The message viewer.
#include "DbxBrowserDlg.h"

#include <algorithm>

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "core/DbxException.h"
#include "core/DbxMessageSearch.h"
#include "core/DbxViewerText.h"
#include "tavui/Prompt.h"
#include "tavui/TavColors.h"

namespace {
const uint32_t FIELDS[4] = {DBX_FIELD_FROM, DBX_FIELD_TO, DBX_FIELD_SUBJECT, DBX_FIELD_CONTENT};
const char* const FIELD_NAMES[4] = {"From", "To", "Subject", "Content"};
QString Text(const std::optional<std::string>& text) { return text ? QString::fromStdString(*text) : QString(); }
}  // namespace

CDbxBrowserDlg::CDbxBrowserDlg(DbxInput& input, const QString& title, tavui::IPrompt& prompt, QWidget* parent)
    : QDialog(parent), m_prompt(prompt), m_model(std::make_unique<CDbxViewerModel>(input, *this)) {
    setObjectName(QString::number(IDD));
    setWindowTitle(title);
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
    m_list = new QTreeWidget(this);
    m_list->setObjectName("10004");
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setHeaderLabels({"", "From", "To", "Subject", "Received Date", "Account"});
    const int widths[] = {20, 150, 150, 200, 120, 150};
    for (int i = 0; i < 6; ++i)
        m_list->setColumnWidth(i, i == 0 ? 28 : TavoraColorDef::DluToPixels(m_list, widths[i]) * 3 / 4);
    // The received date is never cut: as wide as the longest date the list shows.
    m_list->setColumnWidth(4, std::max(m_list->columnWidth(4),
                                       m_list->fontMetrics().horizontalAdvance("2021/12/12 12:45 PM") + 16));
    m_list->header()->setSectionsClickable(true);
    TavoraColorDef::InitFlatHeader(m_list->header());
    m_text = new QPlainTextEdit(this);
    m_text->setObjectName("10005");
    m_text->setReadOnly(true);
    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(m_list);
    split->addWidget(m_text);
    split->setSizes({300, 200});

    m_filter = new QCheckBox("Filter", this);
    m_filter->setObjectName("10011");
    m_filterText = new QLineEdit(this);
    m_filterText->setObjectName("10012");
    auto* filterRow = new QHBoxLayout();
    filterRow->addWidget(m_filter);
    filterRow->addWidget(m_filterText, 1);
    for (int i = 0; i < 4; ++i) {
        m_fields[i] = new QCheckBox(FIELD_NAMES[i], this);
        m_fields[i]->setObjectName(QString::number(10013 + i));
        m_fields[i]->setChecked(FIELDS[i] == DBX_FIELD_SUBJECT);
        filterRow->addWidget(m_fields[i]);
        const uint32_t field = FIELDS[i];
        connect(m_fields[i], &QCheckBox::toggled, this, [this, field](bool on) { m_model->SetField(field, on); });
    }
    m_apply = new QPushButton("Apply Filter", this);
    m_apply->setObjectName("10017");
    filterRow->addWidget(m_apply);
    m_progress = new QLabel(this);
    m_progress->setObjectName("10018");
    m_export = new QPushButton("Export to .eml", this);
    m_export->setObjectName("10009");
    m_close = new QPushButton("Close", this);
    m_close->setObjectName("2");
    auto* save = new QPushButton("Save Attachments", this);
    save->setObjectName("10008");
    save->setVisible(false);
    for (QPushButton* b : {m_apply, m_export, m_close}) TavoraColorDef::InitButtonST(b);
    auto* buttons = new QHBoxLayout();
    buttons->addWidget(m_progress, 1);
    buttons->addWidget(m_export);
    buttons->addWidget(m_close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filterRow);
    layout->addWidget(split, 1);
    layout->addLayout(buttons);
    resize(900, 600);

    m_model->SetPump([this] {
        m_progress->setText(QString::fromStdString(m_model->ProgressText()));
        QApplication::processEvents();
    });
    connect(m_filter, &QCheckBox::toggled, this, [this](bool on) {
        m_model->SetFilterChecked(on);
        if (!on) FillList();
        UpdateControls();
    });
    connect(m_filterText, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_model->SetFilterText(text.toStdString()); });
    connect(m_apply, &QPushButton::clicked, this, [this] {
        const bool wasBusy = m_model->Busy();
        m_model->ApplyFilter();
        if (wasBusy) return;
        FillList();
        m_filterText->setFocus();
        m_filterText->selectAll();
    });
    connect(m_export, &QPushButton::clicked, this, &CDbxBrowserDlg::OnExport);
    connect(m_close, &QPushButton::clicked, this, &CDbxBrowserDlg::reject);
    connect(m_list->header(), &QHeaderView::sectionClicked, this, &CDbxBrowserDlg::ClickColumn);
    connect(m_list, &QTreeWidget::currentItemChanged, this, [this] { SelectRow(m_list->currentIndex().row()); });
    UpdateControls();
}

CDbxBrowserDlg::~CDbxBrowserDlg() = default;

void CDbxBrowserDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_started) Start();
}

void CDbxBrowserDlg::Start() {
    m_started = true;
    Search();
}

void CDbxBrowserDlg::Search() {
    m_model->Search();
    FillList();
}

void CDbxBrowserDlg::FillList() {
    const QSignalBlocker block(m_list);
    m_list->clear();
    m_text->clear();
    QList<QTreeWidgetItem*> items;
    const QIcon read = style()->standardIcon(QStyle::SP_FileIcon);
    const QIcon flagged = style()->standardIcon(QStyle::SP_MessageBoxInformation);
    for (const DbxMessageRow& row : m_model->Rows()) {
        auto* item = new QTreeWidgetItem();
        item->setIcon(0, row.iconFlag ? flagged : read);
        item->setText(1, Text(row.from));
        item->setText(2, Text(row.to));
        item->setText(3, Text(row.subject));
        item->setText(4, QString::fromStdString(row.receivedText));
        item->setText(5, Text(row.account));
        items.push_back(item);
    }
    m_list->addTopLevelItems(items);
    const CDbxSortState& sort = m_model->Sort();
    m_list->header()->setSortIndicatorShown(sort.IsSorted());
    if (sort.IsSorted())
        m_list->header()->setSortIndicator(int(sort.Column()), sort.Ascending() ? Qt::AscendingOrder : Qt::DescendingOrder);
    m_progress->setText(QString::fromStdString(m_model->ProgressText()));
    if (!m_model->Problem().empty() && !m_model->Busy())
        m_progress->setText(QString::fromStdString(m_model->Problem()));
    if (!items.isEmpty()) {
        m_list->setCurrentItem(items.first());
        SelectRow(0);
    }
    UpdateControls();
}

void CDbxBrowserDlg::ClickColumn(int column) {
    m_model->ClickColumn(DbxColumn(column));
    FillList();
}

void CDbxBrowserDlg::SelectRow(int row) {
    if (row < 0) return;
    m_model->Select(size_t(row));
    m_text->setPlainText(QString::fromStdString(m_model->FocusRow(size_t(row))));
}

void CDbxBrowserDlg::UpdateControls() {
    const DbxViewerEnabling e = m_model->Enabling();
    m_filter->setEnabled(e.filterCheck);
    m_filterText->setEnabled(e.filterEdit);
    for (QCheckBox* f : m_fields) f->setEnabled(e.filterEdit);
    m_apply->setEnabled(e.applyFilter);
    m_apply->setText(m_model->Busy() ? "Stop" : "Apply Filter");
    m_export->setEnabled(e.exportEml);
    m_close->setEnabled(e.close);
}

void CDbxBrowserDlg::reject() {
    m_model->Close();
    QDialog::reject();
}

bool CDbxBrowserDlg::AskYesNo(const std::string& text) {
    return m_prompt.Message(this, text, tavui::PromptIcon::Question, tavui::PromptButtons::YesNo) == tavui::ID_YES;
}

void CDbxBrowserDlg::Warn(const std::string& text) { m_prompt.Message(this, text, tavui::PromptIcon::Warning); }

std::optional<std::string> CDbxBrowserDlg::AskSavePath() {
    tavui::FileDialogSpec spec;
    spec.save = true;
    spec.defaultExtension = dbxviewer::EML_EXTENSION;
    spec.filter = dbxviewer::EML_FILTER;
    spec.overwritePrompt = true;
    return m_prompt.FileDialog(this, spec);
}
