#include "SubViewSettings.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "BackupConditionDlg.h"
#include "EditorTexts.h"
#include "EncodingBoxes.h"
#include "core/SettingsModel.h"
#include "core/TavoraDoc.h"
#include "tavui/Prompt.h"
#include "tavui/TavColors.h"

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

CSubViewSettings::CSubViewSettings(CTavoraDoc& doc, tavui::IPrompt& prompt, QWidget* parent)
    : QWidget(parent), m_doc(doc), m_prompt(prompt) {
    setObjectName("136");
    auto* grid = new QGridLayout(this);
    m_name = new QLineEdit(this);
    m_name->setObjectName("1010");
    m_location = new QLineEdit(this);
    m_location->setObjectName("1051");
    auto* browse = new QPushButton("...", this);
    browse->setObjectName("1052");
    m_description = new QPlainTextEdit(this);
    m_description->setObjectName("1007");
    m_splitSize = new QComboBox(this);
    m_splitSize->setObjectName("1050");
    m_splitSize->setEditable(true);
    for (const std::string& size : editor::SplitSizeChoices()) m_splitSize->addItem(Q(size));
    auto* conditions = new QPushButton("Backup Settings...", this);
    conditions->setObjectName("1102");
    TavoraColorDef::InitButtonST(browse);
    TavoraColorDef::InitButtonST(conditions);

    int row = 0;
    grid->addWidget(new QLabel("Backup Image Name:", this), row, 0);
    grid->addWidget(m_name, row++, 1, 1, 2);
    grid->addWidget(new QLabel("Image Location:", this), row, 0);
    grid->addWidget(m_location, row, 1);
    grid->addWidget(browse, row++, 2);
    grid->addWidget(new QLabel("Description:", this), row, 0, Qt::AlignTop);
    grid->addWidget(m_description, row++, 1, 1, 2);
    grid->addWidget(new QLabel("Image Split Size:", this), row, 0);
    grid->addWidget(m_splitSize, row++, 1);
    auto* encodingGrid = new QGridLayout();
    m_encoding = new CEncodingBoxes(this, encodingGrid, 0);
    grid->addLayout(encodingGrid, row++, 1, 1, 2);
    grid->addWidget(conditions, row++, 1, Qt::AlignLeft);
    grid->setRowStretch(row, 1);
    grid->setColumnStretch(1, 1);

    connect(m_name, &QLineEdit::textEdited, this, &CSubViewSettings::OnEdited);
    connect(m_location, &QLineEdit::textEdited, this, &CSubViewSettings::OnEdited);
    connect(m_description, &QPlainTextEdit::textChanged, this, &CSubViewSettings::OnEdited);
    connect(m_splitSize, &QComboBox::currentTextChanged, this, &CSubViewSettings::OnEdited);
    connect(m_encoding, &CEncodingBoxes::edited, this, &CSubViewSettings::OnEdited);
    connect(browse, &QPushButton::clicked, this, &CSubViewSettings::OnBrowse);
    connect(conditions, &QPushButton::clicked, this, &CSubViewSettings::OnBackupSettings);
    m_doc.AddSaver([this] { SaveToJob(); });
}

void CSubViewSettings::LoadFromJob() {
    m_loading = true;
    const editor::JobSettings s = editor::ReadJobSettings(m_doc.Job());
    m_name->setText(Q(s.name));
    m_location->setText(Q(s.location));
    m_description->setPlainText(Q(s.description));
    m_splitSize->setCurrentText(Q(s.splitSize));
    m_encoding->Set(s.encoding);
    m_loading = false;
}

void CSubViewSettings::SaveToJob() {
    editor::JobSettings s;
    s.name = m_name->text().toStdString();
    s.location = m_location->text().toStdString();
    s.description = m_description->toPlainText().toStdString();
    s.splitSize = m_splitSize->currentText().toStdString();
    s.encoding = m_encoding->Get();
    editor::WriteJobSettings(s, m_doc.Job());
}

void CSubViewSettings::OnEdited() {
    if (!m_loading) m_doc.SetModified(true);
}

void CSubViewSettings::OnBrowse() {
    const auto folder = m_prompt.FolderDialog(this, editortext::SELECT_LOCATION,
                                              m_location->text().toStdString());
    if (!folder) return;
    m_location->setText(Q(*folder));
    SaveToJob();
}

void CSubViewSettings::OnBackupSettings() {
    const uint32_t command = m_doc.Job().GetBackupCommand();
    CBackupConditionDlg dialog(editor::ReadConditions(command), this);
    if (tavui::ExecDialog(dialog) != QDialog::Accepted) return;
    m_doc.Job().SetBackupCommand(editor::ApplyConditions(command, dialog.Boxes()));
}
