#include "ViewSelectorBar.h"

#include <QButtonGroup>
#include <QFrame>
#include <QLabel>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "EditorTexts.h"
#include "tavui/TavColors.h"

namespace {
// The freedesktop icon of each page, in page order.
constexpr const char* PAGE_ICONS[] = {"preferences-system", "folder", "x-office-calendar",
                                      "media-playback-start", "document-open-recent"};
// Our fallbacks where the desktop has no icon theme.
constexpr QStyle::StandardPixmap PAGE_FALLBACKS[] = {
    QStyle::SP_FileDialogDetailedView, QStyle::SP_DirIcon, QStyle::SP_FileDialogInfoView,
    QStyle::SP_MediaPlay, QStyle::SP_FileDialogContentsView};
constexpr int PANE_WIDTH = 190;
constexpr uint32_t TEXT_COLOR = 0x8CB4BE;
}  // namespace

CViewSelectorBar::CViewSelectorBar(QWidget* parent) : QWidget(parent) {
    setObjectName("9");
    setFixedWidth(PANE_WIDTH);
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(2);
    auto* group = new QButtonGroup(this);
    int index = 0;
    for (const auto& page : editortext::PAGES) {
        auto* button = new QToolButton(this);
        button->setObjectName(QString::number(page.buttonId));
        button->setText(page.name);
        button->setIcon(QIcon::fromTheme(PAGE_ICONS[index],
                                         style()->standardIcon(PAGE_FALLBACKS[index])));
        button->setIconSize(QSize(32, 32));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setCheckable(true);
        button->setAutoRaise(true);
        button->setMinimumWidth(96);
        group->addButton(button, index++);
        layout->addWidget(button, 0, Qt::AlignHCenter);
        m_buttons.append(button);
    }
    auto* rule = new QFrame(this);
    rule->setObjectName("1079");
    rule->setFrameShape(QFrame::HLine);
    layout->addWidget(rule);
    m_infoIcon = new QLabel(this);
    m_infoIcon->setObjectName("1085");
    m_infoIcon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(24, 24));
    layout->addWidget(m_infoIcon);
    m_text = new QLabel(this);
    m_text->setObjectName("1003");
    m_text->setWordWrap(true);
    QFont small = m_text->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    m_text->setFont(small);
    m_text->setStyleSheet(
        QString("color: %1;").arg(TavoraColorDef::FromColorRef(TEXT_COLOR).name()));
    layout->addWidget(m_text);
    layout->addStretch();
    connect(group, &QButtonGroup::idClicked, this, [this](int id) {
        Select(id);
        emit pageSelected(id);
    });
}

void CViewSelectorBar::Select(int index) {
    if (index < 0 || index >= m_buttons.size()) return;
    m_selected = index;
    m_buttons[index]->setChecked(true);
    const QString text = editortext::PAGES[index].text;
    m_text->setText(text);
    m_infoIcon->setVisible(!text.isEmpty());
}
