#include "EncodingBoxes.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>

namespace {
// A label and a box on one line, held to the left.
QWidget* LabelledRow(QWidget* parent, const char* label, QWidget* box) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(label, row));
    layout->addWidget(box);
    layout->addStretch();
    return row;
}
}  // namespace

CEncodingBoxes::CEncodingBoxes(QWidget* parent, QGridLayout* grid, int row) : QObject(parent) {
    m_encrypt = new QCheckBox("Data Encryption (AES 128 bits)", parent);
    m_encrypt->setObjectName("1019");
    m_compress = new QCheckBox("Data Compression", parent);
    m_compress->setObjectName("1018");
    m_level = new QComboBox(parent);
    m_level->setObjectName("1049");
    for (const std::string& name : editor::CompressionLevelNames())
        m_level->addItem(QString::fromStdString(name));
    // Beside the level: the method (zstd is faster; its images need a reader that knows it).
    m_method = new QComboBox(parent);
    m_method->setObjectName("compressionMethod");
    for (const std::string& name : editor::CompressionMethodNames())
        m_method->addItem(QString::fromStdString(name));
    m_method->setToolTip("Zstd compresses about three times faster than Deflate; its images can be "
                         "read only by Tavora versions that know Zstd.");
    grid->addWidget(m_encrypt, row, 0, 1, 2);
    grid->addWidget(m_compress, row + 1, 0);
    grid->addWidget(LabelledRow(parent, "Compression Level:", m_level), row + 1, 1);
    grid->addWidget(LabelledRow(parent, "Compression Method:", m_method), row + 2, 1);
    connect(m_encrypt, &QCheckBox::toggled, this, &CEncodingBoxes::edited);
    connect(m_compress, &QCheckBox::toggled, this, [this] {
        UpdateLevel();
        emit edited();
    });
    connect(m_level, &QComboBox::currentIndexChanged, this, &CEncodingBoxes::edited);
    connect(m_method, &QComboBox::currentIndexChanged, this, &CEncodingBoxes::edited);
    UpdateLevel();
}

void CEncodingBoxes::Set(const editor::EncodingChoice& choice) {
    const QSignalBlocker b1(m_encrypt), b2(m_compress), b3(m_level), b4(m_method);
    m_encrypt->setChecked(choice.encrypt);
    m_compress->setChecked(choice.compress);
    m_level->setCurrentIndex(choice.level);
    m_method->setCurrentIndex(choice.zstd ? 1 : 0);
    UpdateLevel();
}

editor::EncodingChoice CEncodingBoxes::Get() const {
    return {m_encrypt->isChecked(), m_compress->isChecked(), m_level->currentIndex(),
            m_method->currentIndex() == 1};
}

void CEncodingBoxes::UpdateLevel() {
    m_level->setEnabled(m_compress->isChecked());
    m_method->setEnabled(m_compress->isChecked());
}
