// The "Data Encryption", "Data Compression", "Compression Level" and method controls over an
// encoding word, shared by the SETTINGS page and the options.
#pragma once
#include <QObject>

#include "core/EditorSettings.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QWidget;

class CEncodingBoxes : public QObject {
    Q_OBJECT
public:
    // Adds the controls to `grid` from `row` on (three rows).
    CEncodingBoxes(QWidget* parent, QGridLayout* grid, int row);
    void Set(const editor::EncodingChoice& choice);
    editor::EncodingChoice Get() const;

signals:
    void edited();

private:
    void UpdateLevel();
    QCheckBox* m_encrypt;
    QCheckBox* m_compress;
    QComboBox* m_level;
    QComboBox* m_method;
};
