// TavoraColorDef: the suite's colours and the flat look of its buttons (CButtonST).
#pragma once
#include <QColor>
#include <QString>
#include <cstdint>

class QAbstractButton;
class QDialogButtonBox;
class QHeaderView;
class QWidget;

namespace TavoraColorDef {

// A Windows COLORREF (0x00BBGGRR) as a colour.
QColor FromColorRef(uint32_t colorRef);
// The list header colour of the suite's lists (COLORREF 0xC8E4E8).
constexpr uint32_t LIST_HEADER_COLOR = 0xC8E4E8;

// Sets up the colours once per program (the palette of the buttons).
void InitColorDef();
// Gives a button the suite's flat look and colours.
void InitButtonST(QAbstractButton* button);
void InitButtonBox(QDialogButtonBox* box);
// A width in dialog units (a quarter of the average character width) as pixels, at least
// wide enough for `text` in the widget's font.
int DluToPixels(const QWidget* widget, int dialogUnits, const QString& text = QString());
// The flat list header with the suite's colour.
void InitFlatHeader(QHeaderView* header, uint32_t colorRef = LIST_HEADER_COLOR);

}  // namespace TavoraColorDef
