// Colours and flat buttons.
#include "tavui/TavColors.h"

#include <QAbstractButton>
#include <QFontMetrics>
#include <QWidget>
#include <algorithm>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>

namespace TavoraColorDef {

namespace {
// Face, hover and text colours of the suite's buttons.
constexpr uint32_t BUTTON_FACE = 0xE8E4C8;   // RGB, the header's hue
constexpr uint32_t BUTTON_HOVER = 0xF4F1DF;
constexpr uint32_t BUTTON_BORDER = 0x8C8663;
}  // namespace

QColor FromColorRef(uint32_t c) { return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)); }

void InitColorDef() {}

void InitButtonST(QAbstractButton* button) {
    if (button == nullptr) return;
    button->setStyleSheet(QString(
        "QPushButton { background-color: #%1; border: 1px solid #%3; border-radius: 2px;"
        " padding: 3px 10px; min-height: 18px; }"
        "QPushButton:hover { background-color: #%2; }"
        "QPushButton:pressed { background-color: #%3; color: white; }"
        "QPushButton:disabled { color: #9a9a9a; border-color: #c8c8c8; background-color: #eeeeee; }")
            .arg(BUTTON_FACE, 6, 16, QChar('0'))
            .arg(BUTTON_HOVER, 6, 16, QChar('0'))
            .arg(BUTTON_BORDER, 6, 16, QChar('0')));
}

void InitButtonBox(QDialogButtonBox* box) {
    if (box == nullptr) return;
    for (QAbstractButton* b : box->buttons()) InitButtonST(b);
}

int DluToPixels(const QWidget* widget, int dialogUnits, const QString& text) {
    const QFontMetrics metrics = widget->fontMetrics();
    const int pixels = dialogUnits * metrics.averageCharWidth() / 4;
    return std::max(pixels, text.isEmpty() ? 0 : metrics.horizontalAdvance(text) + 24);
}

void InitFlatHeader(QHeaderView* header, uint32_t colorRef) {
    if (header == nullptr) return;
    const QColor c = FromColorRef(colorRef);
    header->setStyleSheet(QString("QHeaderView::section { background-color: %1; border: 0px;"
                                  " border-right: 1px solid #b0ab8c; padding: 2px 4px; }")
                              .arg(c.name()));
}

}  // namespace TavoraColorDef
