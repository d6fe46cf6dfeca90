// CSubViewSettings: the SETTINGS page (image name, location, description, split size,
// encoding and the backup conditions of the job).
#pragma once
#include <QWidget>

class CEncodingBoxes;
class CTavoraDoc;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
namespace tavui {
class IPrompt;
}

class CSubViewSettings : public QWidget {
    Q_OBJECT
public:
    CSubViewSettings(CTavoraDoc& doc, tavui::IPrompt& prompt, QWidget* parent = nullptr);
    // Shows the job's values (does not mark the job modified).
    void LoadFromJob();
    // Writes the controls into the job.
    void SaveToJob();

private:
    void OnEdited();
    void OnBrowse();
    void OnBackupSettings();

    CTavoraDoc& m_doc;
    tavui::IPrompt& m_prompt;
    QLineEdit* m_name;
    QLineEdit* m_location;
    QPlainTextEdit* m_description;
    QComboBox* m_splitSize;
    CEncodingBoxes* m_encoding;
    bool m_loading = false;
};
